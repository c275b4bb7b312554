"""Throwaway signing identities for the release tests, made with openssl: a
certificate authority of its own and PKCS#12 files signed by it, good or
deliberately wrong (expired, not yet valid, not for code signing)."""

import http.server
import os
import subprocess
import tempfile
import threading
import time

CA_CONFIG = """\
[ca]
default_ca = throwaway

[throwaway]
database = {folder}/index.txt
new_certs_dir = {folder}
serial = {folder}/serial
certificate = {folder}/ca.pem
private_key = {folder}/ca.key
default_md = sha256
policy = any_name
unique_subject = no
copy_extensions = none

[any_name]
commonName = supplied

[code_signing]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid

[time_stamping]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = critical, timeStamping
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid

[tsa]
default_tsa = throwaway_tsa

[throwaway_tsa]
serial = {folder}/tsa-serial
signer_cert = {folder}/time-stamping.pem
signer_key = {folder}/leaf.key
certs = {folder}/ca.pem
signer_digest = sha256
default_policy = 1.3.6.1.4.1.4146.2.3
digests = sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_alg = sha256

[server_only]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
"""

DAY = 24 * 3600


def openssl(*args, cwd=None):
    done = subprocess.run(["openssl", *args], cwd=cwd, capture_output=True, text=True)
    if done.returncode != 0:
        raise RuntimeError(f"openssl {args[0]} failed: {done.stderr.strip()}")
    return done.stdout


def asn1_time(seconds):
    return time.strftime("%Y%m%d%H%M%SZ", time.gmtime(seconds))


class Authority:
    """A certificate authority living in FOLDER; ca.pem is its certificate."""

    def __init__(self, folder, key="rsa:2048"):
        """KEY is openssl's -newkey argument; "ec" means a P-256 key, quicker
        to make where every instruction is emulated."""
        self.folder = folder
        new_key = ["-newkey", key] if key != "ec" else [
            "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1"]
        self.pem = os.path.join(folder, "ca.pem")
        with open(os.path.join(folder, "ca.cnf"), "w") as f:
            f.write(CA_CONFIG.format(folder=folder))
        open(os.path.join(folder, "index.txt"), "w").close()
        with open(os.path.join(folder, "serial"), "w") as f:
            f.write("1000\n")
        openssl("req", "-x509", *new_key, "-nodes", "-sha256", "-days", "2",
                "-subj", "/CN=History plug-ins throwaway test CA",
                "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign",
                "-keyout", os.path.join(folder, "ca.key"), "-out", self.pem)
        # One key serves every certificate this authority hands out.
        self.key = os.path.join(folder, "leaf.key")
        self.request = os.path.join(folder, "leaf.csr")
        openssl("req", "-new", *new_key, "-nodes",
                "-subj", "/CN=History plug-ins test signer",
                "-keyout", self.key, "-out", self.request)

    def certificate(self, name, extensions, not_before=-DAY, not_after=DAY):
        """Writes NAME.pem for the one key; the validity is given in seconds
        from now."""
        now = time.time()
        cert = os.path.join(self.folder, name + ".pem")
        openssl("ca", "-batch", "-notext", "-config", os.path.join(self.folder, "ca.cnf"),
                "-extensions", extensions,
                "-startdate", asn1_time(now + not_before), "-enddate", asn1_time(now + not_after),
                "-in", self.request, "-out", cert)
        return cert

    def identity(self, name, password, extensions="code_signing",
                 not_before=-DAY, not_after=DAY, with_key=True):
        """Writes NAME.p12 (certificate, key and this authority) protected by
        PASSWORD."""
        cert = self.certificate(name, extensions, not_before, not_after)
        password_file = os.path.join(self.folder, name + ".pass")
        with open(password_file, "w") as f:
            f.write(password)
        p12 = os.path.join(self.folder, name + ".p12")
        key = ["-inkey", self.key] if with_key else ["-nokeys"]
        openssl("pkcs12", "-export", "-in", cert, *key, "-certfile", self.pem,
                "-name", "History plug-ins test signer",
                "-passout", "file:" + password_file if password else "pass:",
                "-out", p12)
        return p12


class TimestampServer:
    """An RFC 3161 timestamp server on 127.0.0.1 for as long as the with
    block lasts, answering with openssl ts under AUTHORITY; counts the
    requests it answered."""

    def __init__(self, authority):
        authority.certificate("time-stamping", "time_stamping")
        with open(os.path.join(authority.folder, "tsa-serial"), "w") as f:
            f.write("01\n")
        config = os.path.join(authority.folder, "ca.cnf")
        server = self

        class Answer(http.server.BaseHTTPRequestHandler):
            def do_POST(self):
                query = self.rfile.read(int(self.headers["Content-Length"]))
                with tempfile.TemporaryDirectory() as folder:
                    with open(os.path.join(folder, "query"), "wb") as f:
                        f.write(query)
                    reply = os.path.join(folder, "reply")
                    openssl("ts", "-reply", "-config", config, "-queryfile",
                            os.path.join(folder, "query"), "-out", reply)
                    with open(reply, "rb") as f:
                        body = f.read()
                server.answered += 1
                self.send_response(200)
                self.send_header("Content-Type", "application/timestamp-reply")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.answered = 0
        self.http = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Answer)
        self.url = f"http://127.0.0.1:{self.http.server_address[1]}/"

    def __enter__(self):
        threading.Thread(target=self.http.serve_forever, daemon=True).start()
        return self

    def __exit__(self, *exc):
        self.http.shutdown()
        self.http.server_close()
