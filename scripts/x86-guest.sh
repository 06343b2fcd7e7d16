#!/usr/bin/env bash
# A 32-bit Debian 12 guest under qemu-system-i386 that runs Windows programs with wine32 under
# Xvfb, built from Debian packages only. This machine's kernel cannot execute i386 code, so
# everything 32-bit runs inside the emulator.
#
#   scripts/x86-guest.sh image            builds the guest image, or finds it in the cache,
#                                         and prints its folder (alone on standard output;
#                                         installing and building report on standard error)
#   scripts/x86-guest.sh run DIR CMD...   boots a fresh copy of the image with DIR shared at the
#                                         same absolute path and runs CMD (with bash, as root)
#                                         in it; exits with CMD's status
#
# The image is cached outside the clone, in $QUILLARO_X86_GUEST_CACHE (default
# /var/cache/quillaro-x86-guest), in a folder named after a hash of the recipe below: changing
# the recipe builds a new image, anything else reuses it. Each run boots it with snapshot=on, so
# it starts clean every time. The guest's console goes to build/x86-guest/console.log (and to the
# output), and a failing run prints its end.
#
# The guest, once booted, has wine and wine32, Xvfb, ImageMagick, ctest, and a Wine prefix ready
# in /opt/quillaro/wineprefix (unmanaged windows, Marlett, no crash dialog).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd -P)
root=$(cd "$here/.." && pwd -P)
log_dir=$root/build/x86-guest
cache_base=${QUILLARO_X86_GUEST_CACHE:-/var/cache/quillaro-x86-guest}

die() { echo "x86-guest: $*" >&2; exit 1; }
say() { echo "x86-guest: $*" >&2; }

host_packages() {
    local packages=(qemu-system-x86 debootstrap debian-archive-keyring e2fsprogs cpio kmod xz-utils)
    local missing=() package sudo=""
    for package in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    # To standard error: "image" prints its folder on standard output, and callers read it there.
    $sudo apt-get update -q >&2
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
}

# >>> recipe: everything between these markers decides the image; its hash names the cache folder.
suite=bookworm
mirror=http://deb.debian.org/debian
kernel_package=linux-image-686-pae
# The packages installed in the guest at its first boot.
guest_packages=(wine wine32 xvfb xauth x11-utils imagemagick fonts-wine fonts-liberation cmake
                procps)
# Modules the initramfs loads, with what they need before them: the disk, ext4, and the 9p share.
guest_modules=(virtio_pci virtio_blk ext4 9pnet_virtio 9p)
image_size=4G

# Downloads i386 packages with a private apt state, leaving the host's own apt untouched (the
# host never gets the i386 architecture).
private_apt() {
    local state=$1
    shift
    apt-get -q \
        -o Dir::State="$state" -o Dir::State::status="$state/status" -o Dir::Cache="$state/cache" \
        -o Dir::Etc::SourceList="$state/sources.list" -o Dir::Etc::SourceParts=/dev/null \
        -o Dir::Etc::Preferences=/dev/null -o Dir::Etc::PreferencesParts=/dev/null \
        -o APT::Architecture=i386 -o APT::Architectures::=i386 \
        -o APT::Install-Recommends=false -o Debug::NoLocking=true "$@"
}

# The guest's first process, from the initramfs: loads the modules, mounts the disk (and the
# share), runs the job given on the kernel command line in a chroot, reports its status on the
# console and powers off.
write_init() {
    cat >"$1" <<'INIT'
#!/bin/sh
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
# The initramfs has no /dev/console of its own, so the kernel could not open one for us.
exec </dev/console >/dev/console 2>&1
while read -r module; do
    insmod "/modules/$module" || echo "init: insmod $module failed"
done </modules/order
job=""; share=""
for word in $(cat /proc/cmdline); do
    case $word in
        quillaro.job=*) job=${word#quillaro.job=} ;;
        quillaro.share=*) share=${word#quillaro.share=} ;;
    esac
done
finish() {
    echo "quillaro-guest: exit status $1"
    sync
    umount -a -r 2>/dev/null
    poweroff -f
}
tries=0
while [ ! -b /dev/vda ]; do
    tries=$((tries + 1))
    [ $tries -gt 300 ] && { echo "init: no /dev/vda"; finish 90; }
    sleep 0.1
done
mkdir -p /target
mount -t ext4 /dev/vda /target || finish 91
mount -t proc proc /target/proc
mount -t sysfs sysfs /target/sys
mount -o bind /dev /target/dev
mkdir -p /target/dev/pts /target/dev/shm
mount -t devpts devpts /target/dev/pts
mount -t tmpfs tmpfs /target/dev/shm
mount -t tmpfs tmpfs /target/tmp
mount -t tmpfs tmpfs /target/run
if [ -n "$share" ]; then
    mkdir -p "/target$share"
    # cache=loose: with the default mode, larger programs run from the share start with zeroed
    # code pages and crash.
    mount -t 9p -o trans=virtio,version=9p2000.L,cache=loose,msize=512000 share "/target$share" ||
        finish 92
fi
hostname quillaro-x86
chroot /target /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin /bin/sh "$job" </dev/null
finish $?
INIT
    chmod +x "$1"
}

# Runs at the image's first boot, inside the guest: the second debootstrap stage, the packages
# (from the archives downloaded on the host; the guest has no network), and the Wine prefix.
write_setup() {
    cat >"$1" <<'SETUP'
#!/bin/sh
set -eu
# Each step is skipped once done, so an interrupted first boot can be resumed.
if [ -d /debootstrap ]; then
    echo "setup: second debootstrap stage"
    /debootstrap/debootstrap --second-stage
fi
# The second stage unmounts the file systems it finds mounted; Wine needs /proc above all.
mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sysfs /sys
mountpoint -q /dev/shm || mount -t tmpfs tmpfs /dev/shm
if [ -d /var/cache/quillaro ]; then
    echo "setup: packages"
    cp /var/cache/quillaro/lists/* /var/lib/apt/lists/
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-download --no-install-recommends \
        -o Dir::Cache::archives=/var/cache/quillaro/archives $(cat /var/cache/quillaro/packages)
    rm -rf /var/cache/quillaro /var/lib/apt/lists/*_Packages* /var/cache/apt/*.bin
fi
echo "setup: Wine prefix"
export WINEPREFIX=/opt/quillaro/wineprefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
rm -rf "$WINEPREFIX" && mkdir -p /opt/quillaro
/usr/lib/wine/wine wineboot.exe -i
reg() { /usr/lib/wine/wine 'C:\windows\system32\reg.exe' add "$@" /f; }
# No window manager under Xvfb: unmanaged windows hide at once.
reg 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
# A crashing program ends with its backtrace on the console instead of waiting on a dialog.
reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
# Wine draws the caption buttons of unmanaged windows with Marlett, kept outside the prefix.
cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
/usr/lib/wine/wineserver32 -w
touch /opt/quillaro/ready
echo "setup: done"
SETUP
}

build_image() {
    local out=$1 work
    work=$(mktemp -d "$cache_base/build.XXXXXX")
    # shellcheck disable=SC2064
    trap "rm -rf '$work'" EXIT
    local rootfs=$work/root state=$work/apt
    say "debootstrap, first stage (i386, minbase)"
    debootstrap --arch=i386 --foreign --variant=minbase "$suite" "$rootfs" "$mirror" >"$work/debootstrap.log" ||
        { tail -n 30 "$work/debootstrap.log" >&2; die "debootstrap failed"; }
    # The first stage leaves /proc a symbolic link; the guest mounts proc there.
    rm -rf "$rootfs/proc" && mkdir "$rootfs/proc"
    # dpkg in the emulated machine, where every file costs: no sync after each one, and no
    # manual pages, documentation or translations.
    mkdir -p "$rootfs/etc/dpkg/dpkg.cfg.d"
    printf '%s\n' force-unsafe-io 'path-exclude=/usr/share/man/*' 'path-exclude=/usr/share/doc/*' \
        'path-include=/usr/share/doc/*/copyright' 'path-exclude=/usr/share/locale/*' \
        >"$rootfs/etc/dpkg/dpkg.cfg.d/quillaro-guest"

    say "downloading the kernel, busybox and the guest's packages (i386)"
    mkdir -p "$state/lists/partial" "$state/cache/archives/partial"
    : >"$state/status"
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror $suite main" \
        >"$state/sources.list"
    private_apt "$state" update >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; die "apt update failed"; }
    private_apt "$state" install -y --download-only "$kernel_package" busybox-static "${guest_packages[@]}" \
        >>"$work/apt.log" 2>&1 || { tail -n 30 "$work/apt.log" >&2; die "package download failed"; }

    mkdir -p "$rootfs/var/cache/quillaro/archives" "$rootfs/var/cache/quillaro/lists"
    cp "$state"/cache/archives/*.deb "$rootfs/var/cache/quillaro/archives/"
    cp "$state"/lists/*_InRelease "$state"/lists/*_Packages* "$rootfs/var/cache/quillaro/lists/"
    echo "${guest_packages[*]}" >"$rootfs/var/cache/quillaro/packages"
    write_setup "$rootfs/quillaro-setup.sh"

    say "kernel and initramfs"
    local boot=$work/boot initramfs=$work/initramfs
    mkdir -p "$boot" "$initramfs/bin" "$initramfs/modules" "$initramfs/proc" "$initramfs/sys" "$initramfs/dev"
    dpkg-deb -x "$(ls "$state"/cache/archives/linux-image-*-686-pae*.deb | grep -v unsigned | head -n 1)" "$boot"
    dpkg-deb -x "$(ls "$state"/cache/archives/busybox-static_*.deb)" "$work/busybox"
    cp "$work/busybox/bin/busybox" "$initramfs/bin/busybox"
    local applet
    for applet in sh mount umount insmod sleep cat mkdir chroot sync poweroff hostname echo; do
        ln -s busybox "$initramfs/bin/$applet"
    done
    local version
    version=$(ls "$boot/lib/modules")
    cp "$boot/boot/vmlinuz-$version" "$out.kernel.tmp"
    # Uncompressed copies of the modules, in the order modprobe would load them.
    find "$boot/lib/modules/$version" -name '*.ko.xz' -exec xz -d {} +
    depmod -b "$boot" "$version"
    local module line
    for module in "${guest_modules[@]}"; do
        modprobe -d "$boot" -S "$version" --show-depends "$module" | while read -r line; do
            case $line in insmod\ *) line=${line#insmod }; echo "${line%% *}" ;; esac
        done
    done | awk '!seen[$0]++' >"$work/modules.list"
    : >"$initramfs/modules/order"
    while read -r module; do
        cp "$module" "$initramfs/modules/"
        basename "$module" >>"$initramfs/modules/order"
    done <"$work/modules.list"
    write_init "$initramfs/init"
    (cd "$initramfs" && find . | cpio -o -H newc --quiet | gzip -9) >"$out.initrd.tmp"

    say "disk image"
    mkfs.ext4 -q -F -L quillaro-x86 -d "$rootfs" "$out.disk.tmp" "$image_size"

    say "first boot: second stage, packages and Wine prefix (several minutes)"
    boot_guest "$out.kernel.tmp" "$out.initrd.tmp" "$out.disk.tmp" off "" /quillaro-setup.sh 3600 \
        "$log_dir/image-console.log" || die "the guest's first boot failed (console: $log_dir/image-console.log)"
    # A clean file system, and the blocks of deleted files (the downloaded packages) given back.
    e2fsck -fy -E discard "$out.disk.tmp" >/dev/null 2>&1 || true
    mv "$out.kernel.tmp" "$out.kernel"
    mv "$out.initrd.tmp" "$out.initrd"
    mv "$out.disk.tmp" "$out.disk"
}

# <<< recipe

# boot_guest KERNEL INITRD DISK SNAPSHOT(on|off) SHARE JOB TIMEOUT CONSOLE_LOG
boot_guest() {
    local kernel=$1 initrd=$2 disk=$3 snapshot=$4 share=$5 job=$6 limit=$7 console=$8
    local args=(
        -machine pc -accel tcg,thread=multi
        # With SMAP the guest kernel faults on an iret in Wine's code.
        -cpu max,-smap -smp 2 -m 2560
        -kernel "$kernel" -initrd "$initrd"
        -drive "file=$disk,format=raw,if=virtio,snapshot=$snapshot,cache=unsafe"
        -nic none -display none -monitor none -serial stdio -no-reboot
    )
    local cmdline="console=ttyS0 quiet loglevel=3 panic=-1 quillaro.job=$job"
    if [ -n "$share" ]; then
        args+=(-virtfs "local,path=$share,mount_tag=share,security_model=none,id=share")
        cmdline+=" quillaro.share=$share"
    fi
    mkdir -p "$(dirname "$console")"
    local status=0
    timeout -k 10 "$limit" nice -n 10 qemu-system-i386 "${args[@]}" -append "$cmdline" \
        </dev/null 2>&1 | sed -u 's/\r$//' | tee "$console" || status=$?
    if [ "$status" -ne 0 ]; then
        say "qemu ended with status $status (124: no end within ${limit} s)"
    fi
    local reported
    reported=$(sed -n 's/^quillaro-guest: exit status \([0-9]*\)$/\1/p' "$console" | tail -n 1)
    [ -n "$reported" ] || { say "the guest reported no status; the console ends:"; tail -n 40 "$console" >&2; return 1; }
    return "$reported"
}

recipe_hash() {
    sed -n '/^# >>> recipe/,/^# <<< recipe/p' "$0" | sha256sum | cut -c1-16
}

# Prints the image's folder on standard output, and nothing else there: callers take it with
# $(...), so installing, building and progress all go to standard error.
image() {
    local dir
    dir=$cache_base/$(recipe_hash)
    {
        host_packages
        mkdir -p "$cache_base"
        (
            # One image build at a time; a second caller waits and then finds the image.
            exec 9>"$cache_base/.lock"
            flock 9
            rm -rf "$cache_base"/build.*
            if [ ! -f "$dir/image.disk" ]; then
                mkdir -p "$dir"
                local start=$SECONDS
                build_image "$dir/image"
                say "image built in $((SECONDS - start)) s: $dir ($(du -sh --apparent-size "$dir/image.disk" | cut -f1) apparent, $(du -sh "$dir/image.disk" | cut -f1) used)"
            fi
        )
    } >&2
    echo "$dir"
}

run() {
    [ $# -ge 2 ] || die "usage: $0 run DIR COMMAND..."
    local share
    share=$(cd "$1" && pwd -P)
    shift
    local dir
    dir=$(image)
    mkdir -p "$log_dir"
    # The job the guest runs, written where it can read it: the shared folder.
    local job=$log_dir/job.sh
    [ "${log_dir#"$share"/}" != "$log_dir" ] || die "$log_dir is not inside the shared folder $share"
    {
        echo "cd $(printf %q "$share") || exit 93"
        printf 'exec bash'
        printf ' %q' "$@"
        echo
    } >"$job"
    local status=0
    boot_guest "$dir/image.kernel" "$dir/image.initrd" "$dir/image.disk" on "$share" "$job" \
        "${QUILLARO_X86_GUEST_TIMEOUT:-2400}" "$log_dir/console.log" || status=$?
    if [ "$status" -ne 0 ]; then
        say "the guest run failed with status $status; console log: $log_dir/console.log"
    fi
    return "$status"
}

case ${1:-} in
    image) shift; image ;;
    run) shift; run "$@" ;;
    *) die "usage: $0 image | run DIR COMMAND..." ;;
esac
