#!/usr/bin/env bash
# Runs a shell command where 32-bit Windows programs can run: on this
# machine when its kernel runs 32-bit programs, otherwise inside the test
# guest (tools/vm), with this folder shared at the same path.
#   win32-runtime.sh COMMAND
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  exec bash -c "$1"
fi
echo "This kernel cannot run 32-bit programs (32-bit emulation is off):" \
     "running under Wine inside an emulated Debian guest instead." >&2
"$root/tools/vm/build-image.sh" "$root/build/vm"
exec "$root/tools/vm/run.sh" "$root/build/vm" "$root" "export HISTORY_GUEST=1; cd '$root' && $1"
