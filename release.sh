#!/usr/bin/env bash
# Builds both plug-in libraries and packs the release a Windows user
# downloads: dist/history-plugins-VERSION-win32.zip and dist/SHA256SUMS.
# Signs copies of the libraries when HISTORY_SIGN_PKCS12 names a
# code-signing certificate (README.md, "Releases"); unsigned otherwise.
set -euo pipefail
cd "$(dirname "$0")"

./tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target Pellor Dravik
exec /usr/bin/python3 tools/release.py
