"""Authenticode signing of the release's libraries with osslsigncode, and
the checks before it: the certificate file, its password, its dates and
uses, the timestamp server. The password reaches openssl and osslsigncode
only through a mode-600 temporary file, never a command line."""

import calendar
import os
import re
import socket
import subprocess
import tempfile
import time
import urllib.parse

import pefile

SIGN_VARIABLES = ["HISTORY_SIGN_PKCS12", "HISTORY_SIGN_PASSWORD_FILE",
                  "HISTORY_SIGN_PASSWORD", "HISTORY_SIGN_TIMESTAMP_URL"]


class Refused(Exception):
    """A reason not to release, worded for the person who ran the command."""


def child_environment():
    """The tools this runs need none of the signing variables."""
    return {k: v for k, v in os.environ.items() if k not in SIGN_VARIABLES}


def run(args, what):
    done = subprocess.run(args, capture_output=True, env=child_environment())
    if done.returncode != 0:
        said = (done.stderr or done.stdout).decode("utf-8", "replace").strip()
        raise Refused(f"{what}: {said or 'exit status ' + str(done.returncode)}")
    return done.stdout


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
    if "invalid password" in said + legacy.stderr.decode("utf-8", "replace"):
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
    if os.environ.get(f"{parts.scheme}_proxy") or os.environ.get(f"{parts.scheme.upper()}_PROXY"):
        return  # reached through the proxy; osslsigncode says when that fails
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
