#!/usr/bin/env bash
# Checks the README's two commands, scripts/run.sh and then scripts/test.sh, the way a new user
# meets them: on a minimal Debian 12 with nothing but git and ca-certificates installed, in a
# fresh clone of the current commit, as root, with no display. Everything they need they must
# install themselves, and the 32-bit guest image is built there from nothing (in that machine's
# own /var/cache). Prints each command's exit status and time, copies the screenshots out, and
# exits non-zero when either command fails. Takes about an hour on a 2-core machine: run it
# before resolving work that changes the scripts, the packages they install or the build.
#
#   scripts/fresh-machine.sh             a fresh machine from the cached base, the commands run once
#   scripts/fresh-machine.sh --rebuild   the base made again with debootstrap first
#   scripts/fresh-machine.sh --again     the commands run again on the machine of the last run,
#                                        after updating its clone to the current commit (the
#                                        second run a user makes: packages installed, image cached)
#
# Under build/fresh-machine/: base/ is the minimal Debian 12 (debootstrap --variant=minbase plus
# git and ca-certificates), made once and reused; root/ is the machine of a run, a copy of base/
# made afresh each run; run.log and test.log hold the commands' output, screenshots-run/ and
# screenshots-test/ the pictures each left in build/screenshots/. Only committed work is checked:
# the clone is made from this repository's history.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd -P)
out=$root/build/fresh-machine
base=$out/base
machine=$out/root
clone=/root/quillaro            # inside the machine
source_mount=/mnt/quillaro.git  # inside the machine: this repository's .git, read-only
suite=bookworm
mirror=http://deb.debian.org/debian

die() { echo "fresh-machine: $*" >&2; exit 1; }
say() { echo "fresh-machine: $*" >&2; }

rebuild=0 again=0
for arg; do
    case $arg in
        --rebuild) rebuild=1 ;;
        --again) again=1 ;;
        *) die "usage: $0 [--rebuild | --again]" ;;
    esac
done
[ $((rebuild + again)) -le 1 ] || die "--rebuild and --again do not go together"

# debootstrap, mount and chroot need root.
if [ "$(id -u)" -ne 0 ]; then
    exec sudo -- "$0" "$@"
fi

host_packages() {
    local missing=() package
    for package in debootstrap debian-archive-keyring git; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    say "installing on this machine: ${missing[*]}"
    apt-get update -q >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
}

# Mount points under DIR that are mounted now, deepest first.
mounts_under() {
    awk -v dir="$1" '$2 == dir || index($2, dir "/") == 1 { print $2 }' /proc/self/mounts | sort -r
}

# Every mount this script made, in order; unmounted in reverse.
mounted=()
mount_machine() {
    local dir=$1
    mount -t proc proc "$dir/proc" && mounted+=("$dir/proc")
    mount -t sysfs sysfs "$dir/sys" && mounted+=("$dir/sys")
    mount --bind /dev "$dir/dev" && mounted+=("$dir/dev")
    mount --make-private "$dir/dev"
    mount --bind /dev/pts "$dir/dev/pts" && mounted+=("$dir/dev/pts")
    mount --make-private "$dir/dev/pts"
    mount -t tmpfs -o mode=1777,nosuid,nodev shm "$dir/dev/shm" && mounted+=("$dir/dev/shm")
}

# Ends what is still running inside DIR (a wineserver, an Xvfb, a guest left by an interrupted
# command): each process whose root is DIR, by its id.
stop_processes_in() {
    local dir=$1 pid pids round
    for round in 1 2 3 4 5 6 7 8 9 10; do
        pids=()
        for pid in /proc/[0-9]*; do
            [ "$(readlink "$pid/root" 2>/dev/null)" = "$dir" ] && pids+=("${pid#/proc/}")
        done
        [ ${#pids[@]} -eq 0 ] && return 0
        if [ "$round" -lt 5 ]; then kill "${pids[@]}" 2>/dev/null || true
        else kill -9 "${pids[@]}" 2>/dev/null || true; fi
        sleep 1
    done
    say "processes still running in $dir: ${pids[*]}"
}

# Unmounts what mount_machine and the source mount mounted, after ending what still runs there.
unmount_all() {
    local i
    [ ${#mounted[@]} -gt 0 ] || return 0
    stop_processes_in "$(dirname "${mounted[0]}")"
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" ||
            say "could not unmount ${mounted[i]}"
    done
    mounted=()
}

cleanup() {
    local status=$?
    trap - EXIT INT TERM HUP
    unmount_all
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# Runs a command in the machine the way a login shell of a new user would, without a display.
in_machine() {
    chroot "$machine" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" LANG=C.UTF-8 \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}

duration() { printf '%d min %02d s' $(($1 / 60)) $(($1 % 60)); }

mkdir -p "$out"
exec 9>"$out/.lock"
flock -n 9 || die "another fresh-machine run is using $out"
host_packages

commit=$(git -C "$root" rev-parse HEAD)
if [ -n "$(git -C "$root" status --porcelain --untracked-files=no)" ]; then
    say "note: changes not committed are not checked; the clone is of commit $commit"
fi

# The base: a minimal Debian 12 with the sources of a standard installation, git and
# ca-certificates.
if [ "$rebuild" = 1 ] || [ ! -f "$out/base.ready" ]; then
    [ -z "$(mounts_under "$base")" ] || die "something is mounted under $base: $(mounts_under "$base")"
    rm -rf "$base" "$out/base.ready"
    say "debootstrap --variant=minbase $suite into $base (a few minutes)"
    start=$SECONDS
    debootstrap --variant=minbase "$suite" "$base" "$mirror" >"$out/debootstrap.log" 2>&1 ||
        { tail -n 30 "$out/debootstrap.log" >&2; die "debootstrap failed (log: $out/debootstrap.log)"; }
    rm -f "$base/etc/apt/sources.list"
    cat >"$base/etc/apt/sources.list.d/debian.sources" <<EOF
Types: deb
URIs: $mirror
Suites: $suite $suite-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: http://deb.debian.org/debian-security
Suites: $suite-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    mount_machine "$base"
    chroot "$base" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
        sh -c 'apt-get update -q && apt-get install -y -q --no-install-recommends git ca-certificates &&
               apt-get clean' >"$out/base-packages.log" 2>&1 ||
        { tail -n 30 "$out/base-packages.log" >&2; die "installing git and ca-certificates failed"; }
    unmount_all
    touch "$out/base.ready"
    say "base ready in $(duration $((SECONDS - start)))"
fi

# The machine of this run.
[ -z "$(mounts_under "$machine")" ] || die "something is mounted under $machine: $(mounts_under "$machine")"
if [ "$again" = 1 ]; then
    [ -d "$machine$clone/.git" ] || die "no machine of an earlier run in $machine"
else
    say "a fresh machine in $machine, copied from the base"
    rm -rf "$machine"
    cp -a "$base" "$machine"
fi
mount_machine "$machine"
mkdir -p "$machine$source_mount"
mount --bind -o ro "$root/.git" "$machine$source_mount" && mounted+=("$machine$source_mount")
mount --make-private "$machine$source_mount"
if [ "$again" = 1 ]; then
    in_machine git -c safe.directory="$source_mount" -C "$clone" fetch -q origin \
        '+refs/heads/*:refs/remotes/origin/*' HEAD >&2
else
    in_machine git -c safe.directory="$source_mount" clone -q "$source_mount" "$clone" >&2
fi
in_machine git -C "$clone" -c advice.detachedHead=false checkout -q --detach "$commit" >&2
say "clone at $(in_machine git -C "$clone" log -1 --format='%h %s')"

# Runs one of the README's commands in the clone, its output on the terminal and in LOG;
# sets status and seconds.
run_command() {
    local command=$1 log=$2 start=$SECONDS
    status=0
    touch "$out/.command-started"
    printf '\n===== fresh-machine: %s\n' "$command"
    # In the background, so that an interrupt is handled at once rather than after the command.
    (in_machine sh -c "cd $clone && exec $command" </dev/null 2>&1 | tee "$log") &
    wait $! || status=$?
    seconds=$((SECONDS - start))
}

# The pictures the last command made (not those an earlier run left).
copy_screenshots() {
    rm -rf "$1"
    mkdir -p "$1"
    [ -d "$machine$clone/build/screenshots" ] || return 0
    find "$machine$clone/build/screenshots" -maxdepth 1 -name '*.png' -newer "$out/.command-started" \
        -exec cp -p {} "$1"/ \;
}

run_command scripts/run.sh "$out/run.log"
run_status=$status run_seconds=$seconds
copy_screenshots "$out/screenshots-run"
run_command scripts/test.sh "$out/test.log"
test_status=$status test_seconds=$seconds
copy_screenshots "$out/screenshots-test"

echo
echo "fresh-machine: commit $commit, $([ "$again" = 1 ] && echo "the machine of the last run" || echo "a fresh Debian 12 ($suite, minbase) machine")"
echo "fresh-machine: scripts/run.sh: exit status $run_status, $(duration "$run_seconds") (log: $out/run.log)"
echo "fresh-machine: scripts/test.sh: exit status $test_status, $(duration "$test_seconds") (log: $out/test.log)"
echo "fresh-machine: screenshots: $(cd "$out" && ls -d screenshots-*/*.png 2>/dev/null | tr '\n' ' ')"
[ "$run_status" -eq 0 ] && [ "$test_status" -eq 0 ]
