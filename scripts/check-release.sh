#!/usr/bin/env bash
# Checks one release file and prints what it imports. Exits non-zero, naming every fault, when
#  - it imports a library other than the four every Windows NT loads from its own folder
#    (system-dlls.txt): no C or C++ runtime, nothing a planted file could stand in for;
#  - the 32-bit file holds an instruction the original Pentium lacks (i586-instructions.txt),
#    or either file a static constructor, which nothing runs without the runtime;
#  - its header does not admit Windows 2000 (x86: NT 5.0) or XP x64 (x64: NT 5.2);
#  - it imports a function that the oldest Windows it is meant for lacks
#    (imports-newer-than-xp.txt; x86 also imports-newer-than-2000.txt);
#  - its version resource does not carry the version in its name;
#  - it does not hold exactly one manifest, of that version.
# Usage: check-release.sh dist/Quillaro-<version>-<x86|x64>.exe
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe=$1

name=$(basename "$exe")
if [[ ! $name =~ ^Quillaro-([0-9]+\.[0-9]+\.[0-9]+)-(x86|x64)\.exe$ ]]; then
  echo "check-release: $name is not named Quillaro-<version>-<x86|x64>.exe" >&2
  exit 1
fi
version=${BASH_REMATCH[1]}
arch=${BASH_REMATCH[2]}
if [ "$arch" = x86 ]; then
  tools=i686-w64-mingw32 format=pei-i386 oldest=(5 0) forbidden=(newer-than-xp newer-than-2000)
else
  tools=x86_64-w64-mingw32 format=pei-x86-64 oldest=(5 2) forbidden=(newer-than-xp)
fi

faults=0
fault() {
  echo "check-release: $name: $*" >&2
  faults=$((faults + 1))
}
# The names in a list file, without comments and blank lines.
names_in() { sed -e 's/#.*//' -e 's/[[:space:]]//g' -e '/^$/d' "$here/$1"; }

headers=$("$tools-objdump" -p "$exe")
grep -q "file format $format\$" <<<"$headers" || fault "not a $format file"

# "DLL Name: X" opens each library's list of "<address> <hint> <function>" lines.
imports=$(awk '/DLL Name:/ { dll = $3; next }
               dll != "" && NF == 0 { dll = "" }
               dll != "" && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ { print dll, $3 }' <<<"$headers")
dlls=$(awk '/DLL Name:/ { print $3 }' <<<"$headers")
[ -n "$dlls" ] || fault "no import table found"

allowed=$(names_in system-dlls.txt | tr '[:upper:]' '[:lower:]')
for dll in $dlls; do
  grep -qxF "${dll,,}" <<<"$allowed" ||
    fault "imports $dll, not one of the libraries Windows loads from its own folder alone"
done

# The linker ends the code with the lists of static constructors and destructors, each a -1,
# the entries and a 0; both must be empty, and they are data, not code to disassemble.
pointer=4
[ "$arch" = x64 ] && pointer=8
read -r text_size text_start text_offset < <("$tools-objdump" -h "$exe" |
  awk '$2 == ".text" { print $3, $4, $6 }')
text_size=$((16#$text_size)) text_start=$((16#$text_start)) text_offset=$((16#$text_offset))
empty_lists=$(printf 'ff%.0s' $(seq "$pointer"); printf '00%.0s' $(seq "$pointer"))
empty_lists=$empty_lists$empty_lists
lists=$((4 * pointer))
tail_bytes=$(od -An -v -tx1 -j $((text_offset + text_size - lists)) -N "$lists" "$exe" | tr -d ' \n')
code_end=$((text_start + text_size))
if [ "$tail_bytes" = "$empty_lists" ]; then
  code_end=$((code_end - lists))
else
  fault "its code has static constructors or destructors, which nothing would run"
fi

if [ "$arch" = x86 ]; then
  # objdump's lines: "address:<tab>instruction operands"; prefixes come before the name.
  bad=$("$tools-objdump" -d -M intel --no-show-raw-insn --stop-address=$code_end "$exe" |
    awk -v list="$(sed 's/#.*//' "$here/i586-instructions.txt" | tr -s '[:space:]' ' ')" '
      BEGIN { n = split(list, names, / +/); for (i = 1; i <= n; i++) if (names[i] != "") ok[names[i]] = 1
              split("rep repz repnz repe repne lock data16 addr16 cs ds es fs gs ss", p, " ")
              for (i in p) prefix[p[i]] = 1 }
      /^ *[0-9a-f]+:\t/ {
        address = $1; sub(/:$/, "", address)
        line = $0; sub(/^ *[0-9a-f]+:\t/, "", line)
        count = split(line, word, / +/); i = 1
        while (i < count && (word[i] in prefix)) i++
        name = word[i]; operands = ""
        for (j = i + 1; j <= count; j++) operands = operands " " word[j]
        if (!(name in ok) || (name == "nop" && operands != "") ||
            operands ~ /(^|[^a-z])[xyz]?mm[0-9]/)
          print "0x" address ": " line }')
  if [ -n "$bad" ]; then
    fault "holds $(wc -l <<<"$bad") instruction(s) the original Pentium lacks, the first:"
    head -5 <<<"$bad" | sed 's/^/  /' >&2
  fi
fi

field() { awk -v key="$1" '$1 == key { print $2 }' <<<"$headers"; }
for kind in Subsystem OSystem; do
  found="$(field "Major${kind}Version").$(field "Minor${kind}Version")"
  [ "$found" = "${oldest[0]}.${oldest[1]}" ] ||
    fault "header's $kind version is $found, not ${oldest[0]}.${oldest[1]}"
done

for list in "${forbidden[@]}"; do
  while read -r function; do
    hit=$(awk -v f="$function" '$2 == f { print $1 }' <<<"$imports")
    [ -z "$hit" ] || fault "imports $function from $hit, missing on older Windows ($list)"
  done < <(names_in "imports-$list.txt")
done

resources=$("$tools-windres" -i "$exe" -O rc 2>/dev/null) || fault "its resources cannot be read"
numbers=${version//./, }
grep -qF " FILEVERSION $numbers, 0" <<<"$resources" || fault "FILEVERSION is not $version"
grep -qF " PRODUCTVERSION $numbers, 0" <<<"$resources" || fault "PRODUCTVERSION is not $version"
for value in FileVersion ProductVersion; do
  grep -qF "VALUE \"$value\", \"$version\"" <<<"$resources" ||
    fault "the version resource's $value is not \"$version\""
done
manifests=$(grep -c 'RT_MANIFEST' <<<"$resources" || true)
[ "$manifests" -eq 1 ] || fault "holds $manifests manifests, not one"
grep -qF "name=\"\"Quillaro\"\" version=\"\"$version.0\"\"" <<<"$resources" ||
  fault "the manifest's version is not $version.0"

echo "$name: $(stat -c %s "$exe") bytes; imports:"
awk '{ if ($1 != dll) { dll = $1; printf "%s  %s:", sep, dll; sep = "\n" } printf " %s", $2 }
     END { print "" }' <<<"$imports"
if [ "$faults" -ne 0 ]; then
  echo "check-release: $name: $faults fault(s)" >&2
  exit 1
fi
