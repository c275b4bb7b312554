#!/usr/bin/env bash
# Runs a shell command inside the test guest, with FOLDER of this machine
# shared at the same path, and exits with the command's status.
#   run.sh IMAGE_DIR FOLDER COMMAND
set -euo pipefail
dir=$(realpath "$1") shared=$(realpath "$2") command=$3
[ "$shared" = / ] && shared="$dir/share"  # nothing of this machine's to share
guest="$shared/.guest"
mkdir -p "$guest"
# One guest at a time per shared folder, whose command files they share.
# Guests of other folders may run beside it: each writes only to a snapshot
# of the image, unless VM_PERSIST asks to change the image itself.
exec 9>"$guest/lock"
flock 9
exec 8>"$dir/image.lock"
if [ -n "${VM_PERSIST:-}" ]; then flock 8; else flock -s 8; fi
rm -f "$guest/rc" "$guest/out.txt"
printf '%s\n' "$shared" >"$guest/path"
# The guest's environment: the prefix made when the image was built, and a
# UTF-8 locale, as a person's desktop has (Wine's keyboard input and its
# code pages follow it). The command is a script of its own, run by bash
# as it is here, so that one that calls exit still leaves its status.
printf '%s\n' "$command" >"$guest/command.sh"
cat >"$guest/cmd.sh" <<CMD
export LANG=C.UTF-8 WINEPREFIX=/root/wineprefix WINEARCH=win32 WINEDEBUG=-all
export HISTORY_WINEPREFIX=/root/wineprefix WINEDLLOVERRIDES="mscoree,mshtml="
bash "$guest/command.sh"
echo \$? >"$guest/rc"
CMD
# Software emulation: this machine offers no hardware virtualisation. SMAP
# is off because the emulator mishandles it on returns to 32-bit code.
# The image stays as built unless VM_PERSIST is set. The emulator's option
# syntax takes a comma in a path only doubled.
snapshot=-snapshot
[ -n "${VM_PERSIST:-}" ] && snapshot=
timeout 3000 qemu-system-x86_64 -accel tcg,thread=multi -cpu "${VM_CPU:-max,smap=off}" -smp 2 -m 4096 $snapshot \
  -nographic -no-reboot -serial mon:stdio -display none \
  -kernel "$dir/vmlinuz" -initrd "$dir/initrd.img" \
  -append "root=/dev/vda rw console=ttyS0 init=/sbin/vm-init ia32_emulation=on quiet loglevel=3 panic=1 history.cache=${VM_SHARE_CACHE:-loose}" \
  -drive "file=${dir//,/,,}/root.img,format=raw,if=virtio,cache=unsafe" \
  -virtfs "local,path=${shared//,/,,},mount_tag=share,security_model=none,id=share" \
  -nic none </dev/null | stdbuf -oL tr -d '\r' |
  LC_ALL=C grep -a --line-buffered -v -E '^\[ *[0-9.]+\] (reboot|sysrq)' || true
rc=$(cat "$guest/rc" 2>/dev/null || echo 1)
exit "$rc"
