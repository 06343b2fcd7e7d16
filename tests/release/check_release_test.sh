#!/usr/bin/env bash
# Shows that scripts/check-release.sh rejects what it must, on real executables read with the
# real tools: small programs built here, each wrong in one way, must fail with the fault named.
# The released files themselves pass (scripts/release.sh checks them).
# Usage: check_release_test.sh [dist folder]   (default: dist)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dist=${1:-$root/dist}
work=$root/build/check-release-test
rm -rf "$work"
mkdir -p "$work"
cd "$work"

version=$(ls "$dist" | sed -n 's/^Quillaro-\([0-9.]*\)-x86\.exe$/\1/p')
[ -n "$version" ] || { echo "FAIL: no 32-bit release file in $dist" >&2; exit 1; }
oldest_x86=(-Wl,--major-subsystem-version,5,--minor-subsystem-version,0
            -Wl,--major-os-version,5,--minor-os-version,0)
oldest_x64=(-Wl,--major-subsystem-version,5,--minor-subsystem-version,2
            -Wl,--major-os-version,5,--minor-os-version,2)

failures=0
# expect_fault FILE TEXT: the check must fail on FILE and say TEXT.
expect_fault() {
  local status=0 output
  output=$(bash "$root/scripts/check-release.sh" "$1" 2>&1) || status=$?
  if [ "$status" -eq 0 ] || ! grep -qF -- "$2" <<<"$output"; then
    echo "FAIL: $(basename "$(dirname "$1")")/$(basename "$1"): expected a failure saying \"$2\"; got (status $status):" >&2
    echo "$output" >&2
    failures=$((failures + 1))
  else
    echo "ok: $(basename "$(dirname "$1")"): \"$2\""
  fi
}
# expect_no_fault FILE TEXT: whatever else the check finds in FILE, it must not say TEXT.
expect_no_fault() {
  local output
  output=$(bash "$root/scripts/check-release.sh" "$1" 2>&1) || true
  if grep -qF -- "$2" <<<"$output"; then
    echo "FAIL: $(basename "$(dirname "$1")")/$(basename "$1"): expected nothing about \"$2\"; got:" >&2
    echo "$output" >&2
    failures=$((failures + 1))
  else
    echo "ok: $(basename "$(dirname "$1")"): nothing about \"$2\""
  fi
}
# build CASE ARCH-COMPILER SOURCE FLAGS...: compiles SOURCE into CASE/Quillaro-<version>-ARCH.exe.
build() {
  local case=$1 arch=$2 source=$3
  shift 3
  local compiler=i686-w64-mingw32-g++-win32
  [ "$arch" = x64 ] && compiler=x86_64-w64-mingw32-g++-win32
  mkdir -p "$case"
  printf '%s\n' "$source" >"$case/main.cpp"
  "$compiler" -O1 -s -o "$case/Quillaro-$version-$arch.exe" "$case/main.cpp" "$@"
}

# A function newer than XP called directly ends up in the import table; it must be caught
# in either file, and the 32-bit file must not import what Windows 2000 lacks.
build newer-x86 x86 '#include <windows.h>
int main() { return SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) ? 0 : 1; }' \
  -static "${oldest_x86[@]}"
expect_fault "newer-x86/Quillaro-$version-x86.exe" "imports SetDefaultDllDirectories from KERNEL32.dll"
build newer-x64 x64 '#include <windows.h>
int main() { return static_cast<int>(GetTickCount64() & 1); }' -static "${oldest_x64[@]}"
expect_fault "newer-x64/Quillaro-$version-x64.exe" "imports GetTickCount64 from KERNEL32.dll"
build newer-than-2000 x86 '#include <windows.h>
int main() { return SetDllDirectoryA("") ? 0 : 1; }' -static "${oldest_x86[@]}"
expect_fault "newer-than-2000/Quillaro-$version-x86.exe" "imports SetDllDirectoryA from KERNEL32.dll"

# Linked against the compiler's runtime DLLs instead of statically.
build runtime-dlls x86 '#include <string>
int main(int count, char**) { return static_cast<int>(std::to_string(count).size()); }' \
  "${oldest_x86[@]}"
expect_fault "runtime-dlls/Quillaro-$version-x86.exe" "imports libstdc++-6.dll, not one of the"

# The C++ runtime linked in: it imports the C runtime, its code is built for the Pentium Pro,
# and its start-up has constructors to run.
build cxx-runtime x86 '#include <string>
int main(int count, char**) { return static_cast<int>(std::to_string(count).size()); }' \
  -static "${oldest_x86[@]}"
expect_fault "cxx-runtime/Quillaro-$version-x86.exe" "imports msvcrt.dll, not one of the"
expect_fault "cxx-runtime/Quillaro-$version-x86.exe" "instruction(s) the original Pentium lacks"

# The program itself, compiled for the Pentium Pro.
(cd "$root" && cmake --preset win32-i686 >/dev/null && cmake --build --preset win32-i686 >/dev/null)
mkdir -p i686
cp "$root/build/win32-i686/ui/win32/Quillaro.exe" "i686/Quillaro-$version-x86.exe"
expect_fault "i686/Quillaro-$version-x86.exe" "instruction(s) the original Pentium lacks"

# The linker's default header, which does not say Windows 2000.
build default-header x86 'int main() { return 0; }' -static
expect_fault "default-header/Quillaro-$version-x86.exe" "header's Subsystem version is"

# A static constructor, which nothing would run without the runtime.
build constructor x86 '#include <windows.h>
static DWORD started = GetTickCount();
extern "C" void start() { ExitProcess(started != 0); }' \
  -nostdlib -Wl,-e,_start -lkernel32 "${oldest_x86[@]}"
expect_fault "constructor/Quillaro-$version-x86.exe" "static constructors or destructors"

# The 64-bit code without unwind tables: Windows finds no entry for a function that moves the
# stack or calls, whether all the code lacks them (an empty exception directory) or one object
# does. Built with them, the same program passes this check, also when it is not in order.
unwinding='#include <windows.h>
__attribute__((noinline)) DWORD Length(const char* text) {
    char copy[64];
    lstrcpynA(copy, text, sizeof copy);
    return static_cast<DWORD>(lstrlenA(copy));
}'
no_tables=(-fno-asynchronous-unwind-tables -fno-unwind-tables)
entry='DWORD Length(const char*);
extern "C" void start() { ExitProcess(Length("x")); }'
bare=(-fno-exceptions -nostdlib -Wl,-e,start -lkernel32 "${oldest_x64[@]}")
build no-tables x64 "$unwinding
$entry" "${no_tables[@]}" "${bare[@]}"
expect_fault "no-tables/Quillaro-$version-x64.exe" "its exception directory is empty"
mkdir -p one-object
printf '%s\n' "$unwinding" >one-object/length.cpp
x86_64-w64-mingw32-g++-win32 -O1 -fno-exceptions "${no_tables[@]}" -c -o one-object/length.o \
  one-object/length.cpp
build one-object x64 "#include <windows.h>
$entry" one-object/length.o "${bare[@]}"
expect_fault "one-object/Quillaro-$version-x64.exe" "outside every function of its exception directory"
build tables x64 "$unwinding
$entry" "${bare[@]}"
expect_no_fault "tables/Quillaro-$version-x64.exe" "exception directory"
mkdir -p unordered
cp "tables/Quillaro-$version-x64.exe" unordered/
table=$((16#$(x86_64-w64-mingw32-objdump -h "unordered/Quillaro-$version-x64.exe" |
  awk '$2 == ".pdata" { print $6 }')))
for swap in "$table $((table + 12))" "$((table + 12)) $table"; do
  read -r from to <<<"$swap"
  dd if="tables/Quillaro-$version-x64.exe" of="unordered/Quillaro-$version-x64.exe" bs=1 \
     skip="$from" seek="$to" count=12 conv=notrunc status=none
done
expect_fault "unordered/Quillaro-$version-x64.exe" "exception directory is not in order of address"

# The real file under another version's name.
mkdir -p renamed
cp "$dist/Quillaro-$version-x86.exe" "renamed/Quillaro-9$version-x86.exe"
expect_fault "renamed/Quillaro-9$version-x86.exe" "the version resource's FileVersion is not \"9$version\""

# Two manifests.
mkdir -p manifests
printf '%s\n' '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0"/>' >manifests/a.manifest
printf '1 24 "a.manifest"\n2 24 "a.manifest"\n' >manifests/two.rc
i686-w64-mingw32-windres -O coff -o manifests/two.o manifests/two.rc
build manifests x86 'int main() { return 0; }' -static "${oldest_x86[@]}" manifests/two.o
expect_fault "manifests/Quillaro-$version-x86.exe" "holds 2 manifests, not one"

if [ "$failures" -ne 0 ]; then
  echo "check_release_test: $failures case(s) failed" >&2
  exit 1
fi
echo "check_release_test: every faulty file was rejected"
