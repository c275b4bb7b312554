#!/usr/bin/python3
"""Prints what a plug-in library carries: size, exports, imports, version."""

import os
import sys

import pefile

for path in sys.argv[1:]:
    pe = pefile.PE(path)
    print(f"{os.path.basename(path)}: {os.path.getsize(path)} bytes")
    exports = ", ".join(f"{e.name.decode()} @{e.ordinal}" for e in pe.DIRECTORY_ENTRY_EXPORT.symbols)
    print(f"  exports  {exports}")
    for entry in pe.DIRECTORY_ENTRY_IMPORT:
        names = ", ".join(i.name.decode() for i in entry.imports)
        print(f"  imports  {entry.dll.decode()}: {names}")
    strings = pe.FileInfo[0][0].StringTable[0].entries
    print(f"  version  {strings[b'FileVersion'].decode()}  {strings[b'FileDescription'].decode()}")
