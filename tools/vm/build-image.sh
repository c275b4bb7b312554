#!/usr/bin/env bash
# Builds, once, a small Debian guest that can run 32-bit Windows programs:
# its own kernel (with 32-bit emulation on), 32-bit Wine and its fonts,
# Xvfb, xdotool, the locales the tests switch code pages with, CMake, the PE
# inspector and the release signing tools, and a Wine prefix made on its
# first boot. Used where the Wine part must run in the guest
# (tools/needs-guest). Installing, mounting and the chroot need root: as
# another user it asks sudo for them. The tools it builds with come from
# tools/install-deps.sh.
#   build-image.sh DIR      (DIR/root.img is the result; reruns are free)
# DIR is normally tools/vm/image-dir's answer, shared by every clone.
set -euo pipefail
dir=$(realpath -m "$1")
here=$(dirname "$(realpath "$0")")
built() { [ -f "$dir/root.img" ] && [ -f "$dir/built" ]; }
built && exit 0
mkdir -p "$dir"
exec 8>"$dir/build.lock"
flock 8  # a second caller waits for the first one's image
built && exit 0

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
for tool in debootstrap qemu-system-x86_64 mkfs.ext4; do
  command -v $tool >/dev/null || { echo "build-image.sh: $tool is missing (tools/install-deps.sh installs it)" >&2; exit 1; }
done

# The same Debian mirror this machine's own package manager uses.
mirror=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | grep -v security | head -n1)
[ -n "$mirror" ] || mirror=$(awk '$1=="deb" && $3=="bookworm" {print $2; exit}' /etc/apt/sources.list)
[ -n "$mirror" ] || { echo "no Debian mirror configured in /etc/apt" >&2; exit 1; }

echo "Building the 32-bit test guest in $dir (once; a few minutes)"
# debootstrap resolves only part of the system into a folder whose path
# holds a space, so the tree is made where no path does.
root=$(mktemp -d /var/tmp/history-guest-root.XXXXXX)
as_root rm -rf "$dir/root" "$dir/root.img"
as_root debootstrap --variant=minbase bookworm "$root" "$mirror" >"$dir/debootstrap.log" 2>&1
as_root tee "$root/etc/apt/sources.list" >/dev/null <<SOURCES
deb $mirror bookworm main
deb $mirror bookworm-updates main
SOURCES
printf '#!/bin/sh\nexit 101\n' | as_root tee "$root/usr/sbin/policy-rc.d" >/dev/null  # start no services
as_root chmod +x "$root/usr/sbin/policy-rc.d"
as_root cp /etc/resolv.conf "$root/etc/resolv.conf"
as_root mount -t proc proc "$root/proc"
as_root mount --rbind /dev "$root/dev"
as_root mount --make-rslave "$root/dev"  # unmounting it must not reach this machine's /dev
as_root mount -t sysfs sys "$root/sys"
unmount() { as_root umount -R "$root/dev" 2>/dev/null; as_root umount "$root/proc" "$root/sys" 2>/dev/null; true; }
trap unmount EXIT
trap 'exit 130' INT TERM  # through the EXIT trap
as_root chroot "$root" sh -ec '
  export DEBIAN_FRONTEND=noninteractive
  dpkg --add-architecture i386
  apt-get update -qq
  # An image built afresh needs no fsync after every file.
  apt-get install -y -qq -o Dpkg::Options::=--force-unsafe-io \
    --no-install-recommends linux-image-amd64 \
    initramfs-tools kmod procps wine wine64 wine32:i386 fonts-wine xvfb xauth \
    xdotool locales cmake python3 python3-pefile osslsigncode openssl
  printf "%s UTF-8\\n" en_US.UTF-8 pl_PL.UTF-8 ru_RU.UTF-8 ja_JP.UTF-8 hi_IN.UTF-8 >/etc/locale.gen
  locale-gen
  apt-get clean' >"$dir/install.log" 2>&1
unmount
trap - EXIT
as_root rm -f "$root/usr/sbin/policy-rc.d"
as_root rm -rf "$root"/var/lib/apt/lists/*
as_root install -m 0755 "$here/guest-init" "$root/sbin/vm-init"
as_root cp "$root"/boot/vmlinuz-* "$dir/vmlinuz"
as_root cp "$root"/boot/initrd.img-* "$dir/initrd.img"
as_root mkfs.ext4 -q -F -L guest -d "$root" "$dir/root.img" 6G
as_root rm -rf "$root"
as_root chown "$(id -u):$(id -g)" "$dir/vmlinuz" "$dir/initrd.img" "$dir/root.img"

# First boot: make the Wine prefix inside the image, where it persists.
# Without a window manager under Xvfb, unmanaged windows close at once.
VM_PERSIST=1 "$here/run.sh" "$dir" / 'xvfb-run -a sh -c "wineboot -i && wineserver -w"
  wine reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f
  wineserver -w'
touch "$dir/built"
# Images of what the tree once put into the guest, which no guest is using.
for old in "$(dirname "$dir")"/guest-*; do
  [ "$old" != "$dir" ] && [ -d "$old" ] || continue
  ( flock -n 8 && rm -rf "$old" ) 8>"$old/image.lock" 2>/dev/null || true
done
