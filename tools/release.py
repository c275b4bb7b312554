#!/usr/bin/python3
"""Packs the built libraries into the release a Windows user downloads:
DIST/history-plugins-VERSION-win32.zip (Pellor.dll, Dravik.dll and a guide,
all at the root) and DIST/SHA256SUMS. The unsigned archive is reproducible
byte for byte. Signs copies of both libraries (Authenticode, SHA-256) first
when the environment names a code-signing certificate:

  HISTORY_SIGN_PKCS12          the PKCS#12 file (.p12 or .pfx)
  HISTORY_SIGN_PASSWORD_FILE   a file holding its password, or
  HISTORY_SIGN_PASSWORD        the password itself
  HISTORY_SIGN_TIMESTAMP_URL   an RFC 3161 timestamp server (optional)

The password never appears on a command line. Whatever fails, nothing is
half-written: the previous release in DIST stays as it was.
  release.py [--dist DIR]"""

import argparse
import calendar
import hashlib
import io
import os
import re
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse
import zipfile

import pefile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
VERSION_HEADER = os.path.join(ROOT, "resources", "version.h")
GUIDE = os.path.join(ROOT, "resources", "release-guide.txt")
LIBRARIES = ["Pellor.dll", "Dravik.dll"]
GUIDE_NAME = "README.txt"

# Fixed, so the same libraries always give the same archive bytes: the
# earliest time a zip can hold, regular files readable by everyone.
ZIP_TIME = (1980, 1, 1, 0, 0, 0)
ZIP_UNIX = 3
ZIP_FILE_MODE = 0o100644

SIGN_VARIABLES = ["HISTORY_SIGN_PKCS12", "HISTORY_SIGN_PASSWORD_FILE",
                  "HISTORY_SIGN_PASSWORD", "HISTORY_SIGN_TIMESTAMP_URL"]


class Refused(Exception):
    """A reason not to release, worded for the person who ran the command."""


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


def library_versions(data):
    """The versions a library's version block states: the fixed file and
    product versions, and the FileVersion and ProductVersion strings."""
    pe = pefile.PE(data=data)
    if not hasattr(pe, "VS_FIXEDFILEINFO"):
        return {}
    fixed = pe.VS_FIXEDFILEINFO[0]
    split = lambda ms, ls: (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    found = {"fixed FileVersion": split(fixed.FileVersionMS, fixed.FileVersionLS),
             "fixed ProductVersion": split(fixed.ProductVersionMS, fixed.ProductVersionLS)}
    for info in pe.FileInfo[0]:
        if info.Key != b"StringFileInfo":
            continue
        for table in info.StringTable:
            for key in (b"FileVersion", b"ProductVersion"):
                text = table.entries.get(key, b"").decode("ascii", "replace")
                numbers = [part.strip() for part in text.split(",")]
                found[f"{key.decode()} string \"{text}\""] = (
                    tuple(int(n) for n in numbers) if all(n.isdigit() for n in numbers) else text)
    return found


def check_version(name, data, version):
    found = library_versions(data)
    if not found:
        raise Refused(f"{name} carries no version block")
    for what, value in found.items():
        if value != version:
            mend = ("make PLUGIN_VERSION_TEXT say the same and rebuild" if "string" in what
                    else "rebuild it (./release.sh does)")
            raise Refused(f"{name}: its {what} is not {dotted(version)}, the version in "
                          f"resources/version.h; {mend}")


def child_environment():
    """The tools this runs need none of the signing variables."""
    return {k: v for k, v in os.environ.items() if k not in SIGN_VARIABLES}


def run(args, what):
    done = subprocess.run(args, capture_output=True, env=child_environment())
    if done.returncode != 0:
        said = (done.stderr or done.stdout).decode("utf-8", "replace").strip()
        raise Refused(f"{what}: {said or 'exit status ' + str(done.returncode)}")
    return done.stdout


# Signing.

def signing_request(environ):
    """(pkcs12, password, timestamp url) from the environment, or None."""
    pkcs12 = environ.get("HISTORY_SIGN_PKCS12", "")
    if not pkcs12:
        for name in SIGN_VARIABLES[1:]:
            if environ.get(name):
                raise Refused(f"{name} is set but HISTORY_SIGN_PKCS12 is not: name the "
                              f"certificate file too, or unset {name} for an unsigned release")
        return None
    if not os.path.isfile(pkcs12) or not os.access(pkcs12, os.R_OK):
        raise Refused(f"the certificate file {pkcs12} (HISTORY_SIGN_PKCS12) cannot be read")
    password_file = environ.get("HISTORY_SIGN_PASSWORD_FILE", "")
    if password_file and "HISTORY_SIGN_PASSWORD" in environ:
        raise Refused("set HISTORY_SIGN_PASSWORD_FILE or HISTORY_SIGN_PASSWORD, not both")
    if password_file:
        try:
            with open(password_file, "rb") as f:
                password = f.read()
        except OSError as e:
            raise Refused(f"the password file {password_file} (HISTORY_SIGN_PASSWORD_FILE) "
                          f"cannot be read: {e.strerror}")
        password = password.split(b"\n")[0].rstrip(b"\r")
    elif "HISTORY_SIGN_PASSWORD" in environ:
        password = os.fsencode(environ["HISTORY_SIGN_PASSWORD"])
    else:
        raise Refused("HISTORY_SIGN_PKCS12 is set but no password is: set "
                      "HISTORY_SIGN_PASSWORD_FILE (or HISTORY_SIGN_PASSWORD, empty if it has none)")
    return pkcs12, password, environ.get("HISTORY_SIGN_TIMESTAMP_URL", "")


def password_source(password_file):
    """openssl's -passin for the password in PASSWORD_FILE; openssl reads no
    empty password from a file, and an empty one is no secret."""
    return "file:" + password_file if os.path.getsize(password_file) else "pass:"


def read_pkcs12(pkcs12, password_file, *options):
    """The PKCS#12 file's output for OPTIONS; older exports need the legacy
    algorithms, so those are tried when the modern ones fail."""
    base = ["openssl", "pkcs12", "-in", pkcs12, "-passin", password_source(password_file), *options]
    first = subprocess.run(base, capture_output=True, env=child_environment())
    if first.returncode == 0:
        return first.stdout
    legacy = subprocess.run(base + ["-legacy"], capture_output=True, env=child_environment())
    if legacy.returncode == 0:
        return legacy.stdout
    said = first.stderr.decode("utf-8", "replace")
    if "invalid password" in said:
        raise Refused(f"wrong password for the certificate file {pkcs12}")
    raise Refused(f"{pkcs12} is not a PKCS#12 file that can be read with this password "
                  f"({said.strip().splitlines()[-1] if said.strip() else 'no reason given'})")


def certificate_time(text):
    return calendar.timegm(time.strptime(text.strip(), "%b %d %H:%M:%S %Y %Z"))


def check_certificate(pkcs12, password_file, now):
    """The signer's name when the file holds a key and a certificate that may
    sign code now; otherwise says what is wrong with it."""
    if b"PRIVATE KEY" not in read_pkcs12(pkcs12, password_file, "-nocerts", "-nodes"):
        raise Refused(f"{pkcs12} holds no private key to sign with")
    certificate = read_pkcs12(pkcs12, password_file, "-nokeys", "-clcerts")
    if b"BEGIN CERTIFICATE" not in certificate:
        raise Refused(f"{pkcs12} holds no certificate for its key")
    described = subprocess.run(
        ["openssl", "x509", "-noout", "-subject", "-nameopt", "RFC2253,-esc_msb",
         "-startdate", "-enddate", "-ext", "extendedKeyUsage,keyUsage"],
        input=certificate, capture_output=True, env=child_environment())
    if described.returncode != 0:
        raise Refused(f"the certificate in {pkcs12} cannot be read: "
                      f"{described.stderr.decode('utf-8', 'replace').strip()}")
    text = described.stdout.decode("utf-8", "replace")
    fields = dict(re.findall(r"^(subject|notBefore|notAfter)=(.*)$", text, re.MULTILINE))
    subject = fields.get("subject", "")
    name = dict(re.findall(r"(?:^|,)(\w+)=((?:[^,\\]|\\.)*)", subject)).get("CN", subject)
    not_before, not_after = certificate_time(fields["notBefore"]), certificate_time(fields["notAfter"])
    if now < not_before:
        raise Refused(f"the certificate \"{name}\" is not valid yet: from {fields['notBefore']}")
    if now > not_after:
        raise Refused(f"the certificate \"{name}\" has expired: on {fields['notAfter']}")
    usage = re.search(r"Extended Key Usage:.*\n((?:\s+.*\n?)*)", text)
    if not usage or "Code Signing" not in usage.group(1):
        raise Refused(f"the certificate \"{name}\" is not for code signing (its extended key "
                      f"usage lacks Code Signing): {usage.group(1).strip() if usage else 'none'}")
    key_usage = re.search(r"X509v3 Key Usage:.*\n\s+(.*)", text)
    if key_usage and "Digital Signature" not in key_usage.group(1):
        raise Refused(f"the certificate \"{name}\" may not make digital signatures "
                      f"(key usage: {key_usage.group(1).strip()})")
    return name


def check_timestamp_server(url):
    parts = urllib.parse.urlsplit(url)
    if parts.scheme not in ("http", "https") or not parts.hostname:
        raise Refused(f"HISTORY_SIGN_TIMESTAMP_URL {url} is not an http or https address")
    try:
        port = parts.port or (443 if parts.scheme == "https" else 80)
        socket.create_connection((parts.hostname, port), timeout=15).close()
    except (OSError, ValueError) as e:
        raise Refused(f"the timestamp server {url} cannot be reached: {e}")


def sign(name, data, pkcs12, password_file, timestamp_url, folder):
    unsigned = os.path.join(folder, "unsigned-" + name)
    signed = os.path.join(folder, name)
    with open(unsigned, "wb") as f:
        f.write(data)
    command = ["osslsigncode", "sign", "-pkcs12", pkcs12, "-h", "sha256"]
    if os.path.getsize(password_file):  # without one it tries the empty password
        command += ["-readpass", password_file]
    if timestamp_url:
        command += ["-ts", timestamp_url]
    run(command + ["-in", unsigned, "-out", signed], f"osslsigncode could not sign {name}")
    with open(signed, "rb") as f:
        result = f.read()
    if not pefile.PE(data=result).verify_checksum():
        raise Refused(f"the signed {name} has a wrong PE checksum")
    return result


def sign_libraries(libraries, request, now):
    """Signed copies of LIBRARIES and the signer's name; the originals stay."""
    pkcs12, password, timestamp_url = request
    with tempfile.TemporaryDirectory(prefix="history-sign-") as folder:
        password_file = os.path.join(folder, "password")
        fd = os.open(password_file, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
        with os.fdopen(fd, "wb") as f:
            f.write(password)
        signer = check_certificate(pkcs12, password_file, now)
        if timestamp_url:
            check_timestamp_server(timestamp_url)
        print(f"Signing {' and '.join(libraries)} as \"{signer}\" (Authenticode, SHA-256"
              f"{', timestamp from ' + timestamp_url if timestamp_url else ', no timestamp'})")
        signed = {name: sign(name, data, pkcs12, password_file, timestamp_url, folder)
                  for name, data in libraries.items()}
    return signed, signer


# Packing.

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


def replace_all(dist, outputs):
    """Writes every output to a temporary file beside its target, then puts
    them in place; a failure before that leaves DIST as it was."""
    written = []
    try:
        for name, data in outputs:
            fd, temporary = tempfile.mkstemp(dir=dist, prefix=f".{name}.")
            written.append((temporary, os.path.join(dist, name)))
            with os.fdopen(fd, "wb") as f:
                f.write(data)
                f.flush()
                os.fsync(f.fileno())
            os.chmod(temporary, 0o644)
        for temporary, target in written:
            os.replace(temporary, target)
    finally:
        for temporary, _ in written:
            if os.path.exists(temporary):
                os.unlink(temporary)


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
              "HISTORY_SIGN_PKCS12 and its password to sign; see README.md, Releases).")

    archive_name = f"history-plugins-{dotted(version)}-win32.zip"
    archive = zip_bytes([*libraries.items(), (GUIDE_NAME, guide(version, signer))])
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
        print(f"release: {e}", file=sys.stderr)
        print("release: nothing was written; the previous release, if any, is as it was",
              file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
