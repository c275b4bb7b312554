#!/usr/bin/env bash
# Runs a shell command where 32-bit Windows programs can run: on this
# machine when its kernel runs 32-bit programs, otherwise (or with
# HISTORY_FORCE_GUEST=1) inside the test guest (tools/vm), with this folder
# shared at the same path. Exits with the command's own status.
#   win32-runtime.sh COMMAND
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if ! "$root/tools/needs-guest"; then
  exec bash -c "$1"
fi
echo "Running under Wine inside the emulated Debian guest (tools/vm):" \
     "this kernel cannot run 32-bit programs, or HISTORY_FORCE_GUEST=1 asks for it." >&2
image=$("$root/tools/vm/image-dir")
"$root/tools/vm/build-image.sh" "$image"
exec "$root/tools/vm/run.sh" "$image" "$root" "export HISTORY_GUEST=1; cd $(printf %q "$root") && $1"
