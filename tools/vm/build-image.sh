#!/usr/bin/env bash
# Builds, once, a small Debian guest that can run 32-bit Windows programs:
# its own kernel (with 32-bit emulation on), 32-bit Wine, Xvfb, CMake and
# the PE inspector, and a Wine prefix made on its first boot. Used when this
# machine's kernel cannot run 32-bit programs itself.
#   build-image.sh DIR      (DIR/root.img is the result; reruns are free)
set -euo pipefail
dir=$(realpath -m "$1")
here=$(dirname "$(realpath "$0")")
stamp="bookworm wine32 v1"
[ -f "$dir/root.img" ] && [ "$(cat "$dir/stamp" 2>/dev/null)" = "$stamp" ] && exit 0

need=()
command -v debootstrap >/dev/null || need+=(debootstrap)
command -v qemu-system-x86_64 >/dev/null || need+=(qemu-system-x86)
command -v mkfs.ext4 >/dev/null || need+=(e2fsprogs)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# The same Debian mirror this machine's own package manager uses.
mirror=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | grep -v security | head -n1)
[ -n "$mirror" ] || mirror=$(awk '$1=="deb" && $3=="bookworm" {print $2; exit}' /etc/apt/sources.list)
[ -n "$mirror" ] || { echo "no Debian mirror configured in /etc/apt" >&2; exit 1; }

echo "Building the 32-bit test guest in $dir (once; a few minutes)"
rm -rf "$dir/root" "$dir/root.img"
mkdir -p "$dir"
debootstrap --variant=minbase bookworm "$dir/root" "$mirror" >"$dir/debootstrap.log" 2>&1
cat >"$dir/root/etc/apt/sources.list" <<SOURCES
deb $mirror bookworm main
deb $mirror bookworm-updates main
SOURCES
root="$dir/root"
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"  # start no services
chmod +x "$root/usr/sbin/policy-rc.d"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount -t sysfs sys "$root/sys"
unmount() { umount -R "$root/dev" 2>/dev/null; umount "$root/proc" "$root/sys" 2>/dev/null; true; }
trap unmount EXIT
chroot "$dir/root" sh -ec '
  export DEBIAN_FRONTEND=noninteractive
  dpkg --add-architecture i386
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends linux-image-amd64 \
    initramfs-tools kmod procps wine wine64 wine32:i386 xvfb xauth \
    cmake python3 python3-pefile
  apt-get clean' >"$dir/install.log" 2>&1
unmount
trap - EXIT
rm -f "$root/usr/sbin/policy-rc.d"
rm -rf "$root"/var/lib/apt/lists/*
install -m 0755 "$here/guest-init" "$dir/root/sbin/vm-init"
cp "$dir"/root/boot/vmlinuz-* "$dir/vmlinuz"
cp "$dir"/root/boot/initrd.img-* "$dir/initrd.img"
mkfs.ext4 -q -F -L guest -d "$dir/root" "$dir/root.img" 6G
rm -rf "$dir/root"

# First boot: make the Wine prefix inside the image, where it persists.
# Without a window manager under Xvfb, unmanaged windows close at once.
VM_PERSIST=1 "$here/run.sh" "$dir" / 'xvfb-run -a sh -c "wineboot -i && wineserver -w"
  wine reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f
  wineserver -w'
echo "$stamp" >"$dir/stamp"
