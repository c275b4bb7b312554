#!/usr/bin/python3
"""Packs the built libraries into the release a Windows user downloads:
DIST/history-plugins-VERSION-win32.zip (Pellor.dll, Dravik.dll, a guide and
the licence, all at the root) and DIST/SHA256SUMS. The unsigned archive is
reproducible byte for byte. Signs copies of both libraries (Authenticode,
SHA-256) first when the environment names a code-signing certificate
(release_signing.py):

  HISTORY_SIGN_PKCS12          the PKCS#12 file (.p12 or .pfx)
  HISTORY_SIGN_PASSWORD_FILE   a file holding its password, or
  HISTORY_SIGN_PASSWORD        the password itself
  HISTORY_SIGN_TIMESTAMP_URL   an RFC 3161 timestamp server (optional)

The password never appears on a command line. Whatever is refused or fails,
the previous archive and SHA256SUMS in DIST stay as they were, together.
  release.py [--dist DIR]"""

import argparse
import hashlib
import io
import os
import re
import shutil
import sys
import tempfile
import time
import zipfile

import pefile

from release_signing import Refused, sign_libraries, signing_request

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
VERSION_HEADER = os.path.join(ROOT, "resources", "version.h")
GUIDE = os.path.join(ROOT, "resources", "release-guide.txt")
LIBRARIES = ["Pellor.dll", "Dravik.dll"]
GUIDE_NAME = "README.txt"
LICENSE = os.path.join(ROOT, "LICENSE")
# With an extension and Windows line ends, so a double click opens it.
LICENSE_NAME = "LICENSE.txt"

# Fixed, so the same libraries always give the same archive bytes: the
# earliest time a zip can hold, regular files readable by everyone.
ZIP_TIME = (1980, 1, 1, 0, 0, 0)
ZIP_UNIX = 3
ZIP_FILE_MODE = 0o100644

def header_version(path=VERSION_HEADER):
    with open(path, encoding="ascii") as f:
        text = f.read()
    match = re.search(r"^#define PLUGIN_VERSION_NUMBERS\s+(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*$",
                      text, re.MULTILINE)
    if not match:
        raise Refused(f"{path} has no PLUGIN_VERSION_NUMBERS line of four numbers")
    version = tuple(int(n) for n in match.groups())
    if any(n > 0xFFFF for n in version):
        raise Refused(f"{path}: each part of PLUGIN_VERSION_NUMBERS must be at most 65535")
    return version


def dotted(version):
    return ".".join(str(n) for n in version)


def version_text(version):
    """FileVersion and ProductVersion as the version block spells them:
    "1, 00, 01, 0" for 1.0.1.0."""
    major, minor, build, revision = version
    return f"{major}, {minor:02d}, {build:02d}, {revision}"


def library_versions(data):
    """What a library's version block states: the fixed file and product
    versions as numbers, the FileVersion and ProductVersion strings as text."""
    try:
        pe = pefile.PE(data=data)
    except pefile.PEFormatError as e:
        raise Refused(f"not a Windows library ({e.value})")
    if not hasattr(pe, "VS_FIXEDFILEINFO"):
        return {}
    fixed = pe.VS_FIXEDFILEINFO[0]
    split = lambda ms, ls: (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    found = {"fixed FileVersion": split(fixed.FileVersionMS, fixed.FileVersionLS),
             "fixed ProductVersion": split(fixed.ProductVersionMS, fixed.ProductVersionLS),
             "FileVersion string": "", "ProductVersion string": ""}  # "" when missing
    for info in pe.FileInfo[0]:
        if info.Key != b"StringFileInfo":
            continue
        for table in info.StringTable:
            for key in (b"FileVersion", b"ProductVersion"):
                found[f"{key.decode()} string"] = table.entries.get(key, b"").decode(
                    "ascii", "replace")
    return found


def check_version(name, data, version):
    try:
        found = library_versions(data)
    except Refused as e:
        raise Refused(f"{name} is {e}")
    if not found:
        raise Refused(f"{name} carries no version block")
    for what, value in found.items():
        wanted = version_text(version) if "string" in what else version
        if value != wanted:
            shown = f'"{value}"' if "string" in what else dotted(value)
            raise Refused(f"{name}: its {what} is {shown}, not {dotted(version)} as in "
                          f"resources/version.h; rebuild it (./release.sh does)")


def guide(version, signer):
    with open(GUIDE, encoding="ascii") as f:
        text = f.read()
    if signer:
        signature = (
            "Signature\n"
            "---------\n"
            f"Both libraries carry an Authenticode signature (SHA-256) by \"{signer}\".\n"
            "Check it before copying them: right-click the file, Properties, Digital\n"
            "Signatures, Details (\"This digital signature is OK\"), or in PowerShell:\n"
            "  Get-AuthenticodeSignature .\\Pellor.dll, .\\Dravik.dll\n"
            "where Status must read Valid.\n")
    else:
        signature = (
            "Signature\n"
            "---------\n"
            "This release is not signed: Windows names no publisher for the two\n"
            "libraries. Rely on the SHA-256 sums above.\n")
    text = text.replace("@VERSION@", dotted(version)).replace("@SIGNATURE@\n", signature)
    return text.replace("\n", "\r\n").encode("utf-8")


def crlf(path):
    try:
        with open(path, encoding="ascii") as f:
            return f.read().replace("\n", "\r\n").encode("ascii")
    except (OSError, UnicodeDecodeError) as e:
        raise Refused(f"{path} cannot be read as ASCII text: {reason(e)}")


def zip_bytes(members):
    """The archive of MEMBERS (name, bytes) in the order given, each at the
    root with the same time and permissions wherever it is built."""
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        for name, data in members:
            info = zipfile.ZipInfo(name, ZIP_TIME)
            info.create_system = ZIP_UNIX
            info.external_attr = ZIP_FILE_MODE << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compresslevel=9)
    return buffer.getvalue()


def sums(files):
    return "".join(f"{hashlib.sha256(data).hexdigest()}  {name}\n" for name, data in files)


class WriteFailed(Exception):
    """The release could not be written or put in place."""


def reason(error):
    if isinstance(error, KeyboardInterrupt):
        return "interrupted"
    return error.strerror if isinstance(error, OSError) and error.strerror else repr(error)


def replace_all(dist, outputs):
    """Puts every output (name, bytes) in place in DIST, or none of them: the
    archive and the sums that check it must never disagree. Each is written
    to a private folder in DIST first; each file it replaces is kept there
    as a second link until all are in place, and put back if any step fails."""
    step = f"make a temporary folder in {dist}"
    work, placed, kept = None, [], {}
    try:
        work = tempfile.mkdtemp(dir=dist, prefix=".release-")
        for name, data in outputs:
            step = f"write {name}"
            with open(os.path.join(work, name), "wb") as f:
                f.write(data)
                f.flush()
                os.fsync(f.fileno())
            os.chmod(os.path.join(work, name), 0o644)
        os.mkdir(os.path.join(work, "previous"))
        for name, _ in outputs:
            target = os.path.join(dist, name)
            if os.path.lexists(target) and not os.path.isdir(target):
                step = f"keep the previous {name}"
                kept[name] = os.path.join(work, "previous", name)
                try:
                    os.link(target, kept[name], follow_symlinks=False)
                except OSError:  # a file system without hard links
                    shutil.copy2(target, kept[name], follow_symlinks=False)
            step = f"put {name} in place"
            os.replace(os.path.join(work, name), target)
            placed.append(name)
    except (Exception, KeyboardInterrupt) as failure:
        lost = []
        for name in reversed(placed):
            try:
                if name in kept:
                    os.replace(kept[name], os.path.join(dist, name))
                else:
                    os.unlink(os.path.join(dist, name))
            except OSError as e:
                lost.append(f"{name} could not be put back ({reason(e)})")
        said = f"could not {step} in {dist} ({reason(failure)})"
        if lost:  # the previous files that are left stay in WORK for the maintainer
            raise WriteFailed(f"{said}, and {', '.join(lost)}: the previous files are in "
                              f"{os.path.join(work, 'previous')}") from failure
        if work:
            shutil.rmtree(work, ignore_errors=True)
        raise WriteFailed(f"{said}; the previous archive and SHA256SUMS are as they "
                          f"were") from failure
    shutil.rmtree(work, ignore_errors=True)


def release(dist, environ, now):
    version = header_version()
    request = signing_request(environ)
    libraries = {}
    for name in LIBRARIES:
        path = os.path.join(dist, name)
        try:
            with open(path, "rb") as f:
                libraries[name] = f.read()
        except OSError as e:
            raise Refused(f"{path} cannot be read ({e.strerror}): build the libraries first "
                          f"(./release.sh does)")
        check_version(name, libraries[name], version)

    signer = None
    if request:
        libraries, signer = sign_libraries(libraries, request, now)
        for name, data in libraries.items():
            check_version(f"the signed {name}", data, version)
    else:
        print("Unsigned release: no code-signing certificate was given (set "
              "HISTORY_SIGN_PKCS12 and its password to sign; see docs/release.md).")

    archive_name = f"history-plugins-{dotted(version)}-win32.zip"
    archive = zip_bytes([*libraries.items(), (GUIDE_NAME, guide(version, signer)),
                         (LICENSE_NAME, crlf(LICENSE))])
    listing = sums([(archive_name, archive), *libraries.items()])
    replace_all(dist, [(archive_name, archive), ("SHA256SUMS", listing.encode("ascii"))])
    shown = os.path.relpath(dist)
    print(f"Wrote {os.path.join(shown, archive_name)} ({len(archive)} bytes, "
          f"{'signed' if signer else 'unsigned'}) and {os.path.join(shown, 'SHA256SUMS')}:")
    print(listing, end="")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--dist", default=os.path.join(ROOT, "dist"),
                        help="folder of the built libraries, where the release is written")
    args = parser.parse_args()
    try:
        release(args.dist, os.environ, time.time())
    except Refused as e:
        print(f"release: {e}; nothing was written, the previous release, if any, is as it "
              f"was", file=sys.stderr)
        return 1
    except WriteFailed as e:
        print(f"release: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
