#!/usr/bin/env bash
# Checks one release file and prints what it imports. Exits non-zero, naming every fault, when
#  - it imports a library other than the four every Windows NT loads from its own folder
#    (system-dlls.txt): no C or C++ runtime, nothing a planted file could stand in for;
#  - the 32-bit file holds an instruction the original Pentium lacks (i586-instructions.txt),
#    or either file a static constructor, which nothing runs without the runtime;
#  - the 64-bit file's exception directory, by which Windows unwinds its frames, is empty, out of
#    order, or leaves out an instruction that moves the stack pointer or calls;
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
field() { awk -v key="$1" '$1 == key { print $2 }' <<<"$headers"; }
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

if [ "$arch" = x64 ]; then
  # 64-bit Windows unwinds a frame by the RUNTIME_FUNCTION entries of the exception directory
  # (begin, end and unwind data, three addresses relative to the image base), which it searches
  # in order of address; a function without one is taken for a leaf, one that neither moves the
  # stack pointer nor calls. So every instruction that moves it or calls must lie in an entry.
  # A hexadecimal number without its prefix, as objdump prints addresses.
  hex='function hex(s,   n, i) { n = 0; for (i = 1; i <= length(s); i++)
                                n = n * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
                              return n }'
  read -r table_rva table_size < <(awk '$1 == "Entry" && $2 == 3 { print $3, $4 }' <<<"$headers")
  image_base=$((16#$(field ImageBase)))
  table_size=$((16#${table_size:-0}))
  table=""
  if [ "$table_size" -ne 0 ]; then
    table_address=$((image_base + 16#$table_rva))
    table_offset=$("$tools-objdump" -h "$exe" | awk -v at="$table_address" "$hex"'
      $1 ~ /^[0-9]+$/ && hex($4) <= at && at < hex($4) + hex($3) { printf "%d\n", hex($6) + at - hex($4) }')
    [ -n "$table_offset" ] || fault "its exception directory lies in no section"
    [ -z "$table_offset" ] ||
      table=$(od -An -v -tx4 --endian=little -j "$table_offset" -N "$table_size" "$exe")
  fi
  if [ -z "$table" ]; then
    fault "its exception directory is empty: Windows cannot unwind a single frame of its code"
  else
    uncovered=$("$tools-objdump" -d -M intel --no-show-raw-insn --stop-address=$code_end "$exe" |
      awk -v table="$table" -v base="$image_base" "$hex"'
        BEGIN { gsub(/[ \t\n]+/, " ", table); sub(/^ /, "", table); n = split(table, word, " ")
                for (entries = 0; 3 * entries + 3 <= n; entries++) {
                  begin[entries] = hex(word[3 * entries + 1]); end[entries] = hex(word[3 * entries + 2])
                  if (end[entries] <= begin[entries] ||
                      (entries > 0 && begin[entries] < end[entries - 1]))
                    print "order " word[3 * entries + 1] "-" word[3 * entries + 2] }
                j = 0 }
        /^ *[0-9a-f]+:\t/ {
          address = $1; sub(/:$/, "", address); at = hex(address) - base
          line = $0; sub(/^ *[0-9a-f]+:\t/, "", line)
          if (line !~ /^(call|push|pop|enter|leave)(f|fq|q)?( |$)/ && line !~ /^[a-z]+ +rsp,/) next
          while (j < entries && end[j] <= at) j++
          if (j == entries || at < begin[j]) print "0x" address ": " line }')
    disorder=$(sed -n 's/^order //p' <<<"$uncovered")
    uncovered=$(sed '/^order /d' <<<"$uncovered")
    [ -z "$disorder" ] || fault "its exception directory is not in order of address (which Windows" \
      "searches it by), from the entry $(head -1 <<<"$disorder")"
    if [ -n "$uncovered" ]; then
      fault "holds $(wc -l <<<"$uncovered") stack or call instruction(s) outside every" \
            "function of its exception directory, the first:"
      head -5 <<<"$uncovered" | sed 's/^/  /' >&2
    fi
  fi
fi

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
