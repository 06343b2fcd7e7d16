#!/usr/bin/env bash
# "scripts/x86-guest.sh image" prints the image folder on standard output, and scripts/x86-guest.sh
# run reads it from there: nothing else may reach standard output, even when host packages are
# installed on the way. Here every host package is reported missing and a stand-in apt-get prints
# what apt prints to standard output; the image itself is a fake one in a temporary cache, so
# nothing is built or booted. Standard output must be the cache folder alone, on one line, and
# the installer's lines must still be shown, on standard error.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd -P)
script=$root/scripts/x86-guest.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: guest_image_stdout_test: $*" >&2; exit 1; }

# Stand-ins, first on PATH.
bin=$work/bin
mkdir -p "$bin"
cat >"$bin/dpkg-query" <<'STUB'
#!/bin/sh
# Every package is missing, as on a machine that never ran the tests.
for last; do :; done
echo "dpkg-query: no packages found matching $last" >&2
exit 1
STUB
cat >"$bin/apt-get" <<'STUB'
#!/bin/sh
echo "$*" >>"$STUB_CALLS"
case " $* " in
    *" update "*)
        echo "Get:1 http://deb.debian.org/debian bookworm InRelease [151 kB]"
        echo "Get:2 http://deb.debian.org/debian bookworm/main amd64 Packages [8,780 kB]"
        echo "Fetched 8,931 kB in 2s (4,465 kB/s)"
        echo "Reading package lists..." ;;
    *" install "*)
        echo "Reading package lists..."
        echo "The following NEW packages will be installed:"
        echo "  qemu-system-x86"
        echo "Get:1 http://deb.debian.org/debian bookworm/main amd64 qemu-system-x86 amd64 1:7.2+dfsg-7 [11.1 MB]"
        echo "Setting up qemu-system-x86 (1:7.2+dfsg-7) ..." ;;
esac
exit 0
STUB
cat >"$bin/sudo" <<'STUB'
#!/bin/sh
exec "$@"
STUB
# Reached only if the fake image is not found: fail at once instead of building one.
for tool in debootstrap qemu-system-i386 mkfs.ext4; do
    printf '#!/bin/sh\necho "stand-in %s: the test image was not found, a build or boot was started" >&2\nexit 97\n' \
        "$tool" >"$bin/$tool"
done
chmod +x "$bin"/*

# The cache holds the image under the hash of the script's recipe.
cache=$work/cache
hash=$(sed -n '/^# >>> recipe/,/^# <<< recipe/p' "$script" | sha256sum | cut -c1-16)
expected=$cache/$hash
mkdir -p "$expected"
touch "$expected/image.disk" "$expected/image.kernel" "$expected/image.initrd"

status=0
STUB_CALLS=$work/apt-get.calls PATH="$bin:$PATH" QUILLARO_X86_GUEST_CACHE=$cache \
    bash "$script" image >"$work/stdout" 2>"$work/stderr" </dev/null || status=$?

show() {
    echo "--- standard output:" >&2
    cat "$work/stdout" >&2
    echo "--- standard error:" >&2
    cat "$work/stderr" >&2
}
[ "$status" -eq 0 ] || { show; fail "x86-guest.sh image exited with status $status"; }
grep -qE '(^| )install( |$)' "$work/apt-get.calls" 2>/dev/null ||
    { show; fail "the missing packages were not installed: the stand-ins were not used"; }
lines=$(wc -l <"$work/stdout")
if [ "$lines" -ne 1 ] || [ "$(cat "$work/stdout")" != "$expected" ]; then
    show
    fail "standard output must be the one line $expected; it has $lines line(s)"
fi
grep -q '^Get:1 http://deb.debian.org' "$work/stderr" ||
    { show; fail "the installer's output was not shown on standard error"; }
echo "guest_image_stdout_test: ok: standard output is the image folder alone, the installer's output went to standard error"
