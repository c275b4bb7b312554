#!/usr/bin/python3
"""The release a Windows user downloads (tools/release.py): what the
archive holds, that its sums check, that it is reproducible, that signed
copies verify and still are the same libraries, and that bad signing input
is refused without touching the previous release.
  release_test.py [unittest arguments, e.g. a class name]"""

import contextlib
import glob
import hashlib
import io
import json
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import unittest
import unittest.mock
import zipfile

import pefile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import signing_identity  # noqa: E402
sys.path.insert(0, os.path.join(ROOT, "tools"))
import release as release_py  # noqa: E402
from release import dotted, header_version, version_text  # noqa: E402

DIST = os.environ.get("PLUGIN_DIST", os.path.join(ROOT, "dist"))
RELEASE = os.path.join(ROOT, "tools", "release.py")
ARTIFACT_TEST = os.path.join(HERE, "artifact_test.py")
LIBRARIES = ["Pellor.dll", "Dravik.dll"]
GUIDE = "README.txt"
LICENSE = "LICENSE.txt"
SIGN_VARIABLES = ["HISTORY_SIGN_PKCS12", "HISTORY_SIGN_PASSWORD_FILE",
                  "HISTORY_SIGN_PASSWORD", "HISTORY_SIGN_TIMESTAMP_URL"]


def read(path):
    with open(path, "rb") as f:
        return f.read()


def built(name):
    return read(os.path.join(DIST, name))


def block_version(data):
    """The dotted fixed FileVersion of a library's version block."""
    fixed = pefile.PE(data=data).VS_FIXEDFILEINFO[0]
    ms, ls = fixed.FileVersionMS, fixed.FileVersionLS
    return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"


def environment(**signing):
    env = {k: v for k, v in os.environ.items() if k not in SIGN_VARIABLES}
    env.update(signing)
    return env


def release(folder, **signing):
    """Runs the release into FOLDER, with the built libraries copied there
    first unless FOLDER already has its own."""
    for name in LIBRARIES:
        if not os.path.exists(os.path.join(folder, name)):
            shutil.copy(os.path.join(DIST, name), folder)
    return subprocess.run([sys.executable, RELEASE, "--dist", folder], capture_output=True,
                          text=True, env=environment(**signing))


def archive_in(folder):
    found = glob.glob(os.path.join(folder, "history-plugins-*-win32.zip"))
    assert len(found) == 1, f"{folder} holds {len(found)} archives"
    return found[0]


def unpack(archive, folder):
    with zipfile.ZipFile(archive) as z:
        z.extractall(folder)


def sha256sum_check(folder):
    return subprocess.run(["sha256sum", "-c", "SHA256SUMS"], cwd=folder, capture_output=True,
                          text=True, env=dict(os.environ, LC_ALL="C"))


def contents(folder):
    """Every file and folder in FOLDER, hidden ones too, and each file's
    SHA-256: what a refused or failed release must keep."""
    found = {}
    for where, folders, files in os.walk(folder):
        for name in folders + files:
            path = os.path.join(where, name)
            found[os.path.relpath(path, folder)] = (
                None if name in folders else hashlib.sha256(read(path)).hexdigest())
    return found


class Released(unittest.TestCase):
    """A folder with the built libraries and a release made from them."""

    signing = {}

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="release-test-")
        cls.addClassCleanup(shutil.rmtree, cls.folder)
        cls.done = release(cls.folder, **cls.signing)
        if cls.done.returncode != 0:
            raise AssertionError(f"the release failed: {cls.done.stderr}")
        cls.archive = archive_in(cls.folder)
        cls.unpacked = os.path.join(cls.folder, "unpacked")
        unpack(cls.archive, cls.unpacked)

    def member(self, name):
        with zipfile.ZipFile(self.archive) as z:
            return z.read(name)

    def guide(self):
        return self.member(GUIDE).decode("utf-8")

    def check_sums_as_a_user_would(self):
        # The user's folder: the archive, SHA256SUMS, the unpacked files.
        for name in [os.path.basename(self.archive), "SHA256SUMS"]:
            shutil.copy(os.path.join(self.folder, name), self.unpacked)
        checked = sha256sum_check(self.unpacked)
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
        listed = sorted(checked.stdout.splitlines())
        self.assertEqual(listed, sorted([os.path.basename(self.archive) + ": OK",
                                         "Pellor.dll: OK", "Dravik.dll: OK"]))


class UnsignedRelease(Released):
    def test_command_says_the_release_is_unsigned(self):
        self.assertIn("Unsigned release", self.done.stdout)

    def test_archive_holds_the_libraries_guide_and_licence_at_its_root_and_nothing_else(self):
        with zipfile.ZipFile(self.archive) as z:
            self.assertEqual(z.namelist(), ["Pellor.dll", "Dravik.dll", GUIDE, LICENSE])
            self.assertIsNone(z.testzip(), "a member fails its CRC")
            for info in z.infolist():
                # Fixed, or two builds of one commit would differ.
                self.assertEqual(info.date_time, (1980, 1, 1, 0, 0, 0), info.filename)
                self.assertEqual(info.external_attr >> 16, 0o100644, info.filename)
                self.assertEqual(info.create_system, 3, info.filename)
                self.assertEqual(info.extra, b"", info.filename)
        self.assertEqual(sorted(os.listdir(self.folder)),
                         sorted(LIBRARIES + ["SHA256SUMS", os.path.basename(self.archive),
                                             "unpacked"]),
                         "the release left something else behind")

    def test_libraries_in_the_archive_are_the_built_ones_byte_for_byte(self):
        for name in LIBRARIES:
            self.assertEqual(self.member(name), built(name), f"{name} in the archive")
            self.assertEqual(read(os.path.join(self.folder, name)), built(name),
                             f"the release changed {name} beside it")

    def test_name_and_guide_give_the_version_of_the_libraries(self):
        versions = {block_version(built(name)) for name in LIBRARIES}
        self.assertEqual(len(versions), 1, f"the two libraries differ: {versions}")
        version = versions.pop()
        self.assertEqual(os.path.basename(self.archive), f"history-plugins-{version}-win32.zip")
        guide = self.guide()
        self.assertEqual(re.findall(r"\d+\.\d+\.\d+\.\d+", guide.split("\n")[0]), [version],
                         "the guide's title names another version")
        self.assertEqual(set(re.findall(r"history-plugins-([\d.]+)-win32", guide)), {version})

    def test_guide_tells_a_windows_user_what_each_file_does_and_how_to_check_it(self):
        raw = self.member(GUIDE)
        self.assertNotIn(b"@", raw, "a placeholder was left in the guide")
        self.assertEqual(raw.count(b"\n"), raw.count(b"\r\n"), "a line ends without CR")
        guide = self.guide()
        for needed in ["Pellor.dll", "\"Save history\"", "Dravik.dll", "\"Load history\"",
                       "1.51.22 or later", "plug-in folder", "certutil -hashfile", "Get-FileHash",
                       "sha256sum -c SHA256SUMS", "not signed", "64-bit", "upper case",
                       "published beside", "Save the current history first", LICENSE]:
            self.assertIn(needed, guide)

    def test_licence_is_the_repository_one_with_windows_line_ends(self):
        raw = self.member(LICENSE)
        self.assertEqual(raw, read(os.path.join(ROOT, "LICENSE")).replace(b"\n", b"\r\n"))
        self.assertEqual(raw.count(b"\n"), raw.count(b"\r\n"), "a line ends without CR")
        company = re.search(rb'(?m)^#define PLUGIN_COMPANY "(.*)"$',
                            read(os.path.join(ROOT, "resources", "version.h"))).group(1)
        self.assertIn(b"MIT License", raw)
        self.assertIn(b"Copyright (c) 2026 " + company + b"\r\n", raw)

    def test_sums_check_as_sha256sum_reads_them(self):
        checked = sha256sum_check(self.folder)
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
        self.check_sums_as_a_user_would()

    def test_libraries_whose_version_block_disagrees_with_the_header_are_not_packed(self):
        version = header_version()
        major, minor, build, revision = version
        # VS_FIXEDFILEINFO: its signature, its structure version, the file version.
        fixed = struct.pack("<III", 0xFEEF04BD, 0x10000, major << 16 | minor)
        text = version_text(version)
        utf16 = lambda t: t.encode("utf-16-le")
        wrong = f"not {dotted(version)} as in resources/version.h"
        dravik = built("Dravik.dll")
        damages = [  # what Dravik.dll says, what the damaged one says instead, the refusal
            ("fixed", fixed + struct.pack("<I", build << 16 | revision),
             fixed + struct.pack("<I", build << 16 | (revision ^ 1)), wrong),
            ("string", utf16(text), utf16(text[:-1] + ("1" if text[-1] != "1" else "2")), wrong),
            # The same numbers spelt another way: "1,000,000,0".
            ("string's form", utf16(text), utf16(text.replace(", ", ",0")), wrong),
            ("no library", dravik, dravik[:64], "Dravik.dll is not a Windows library"),
        ]
        for kind, said, instead, refusal in damages:
            with self.subTest(kind), tempfile.TemporaryDirectory() as folder:
                for name in LIBRARIES:
                    shutil.copy(os.path.join(DIST, name), folder)
                path = os.path.join(folder, "Dravik.dll")
                damaged = read(path).replace(said, instead, 1)
                self.assertNotEqual(damaged, read(path), "the test damaged nothing")
                with open(path, "wb") as f:
                    f.write(damaged)
                done = release(folder)
                self.assertNotEqual(done.returncode, 0, done.stdout)
                self.assertEqual(done.stderr.count("\n"), 1, done.stderr)
                self.assertIn("Dravik.dll", done.stderr)
                self.assertIn(refusal, done.stderr)
                self.assertEqual(sorted(os.listdir(folder)), sorted(LIBRARIES))


class FailedWrite(unittest.TestCase):
    """A release of changed libraries that fails while its files are written
    or put in place leaves the previous archive and sums as they were,
    together, and says what failed in one line."""

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="release-failing-")
        self.addCleanup(shutil.rmtree, self.folder)
        first = release(self.folder)
        self.assertEqual(first.returncode, 0, first.stderr)
        self.archive = os.path.basename(archive_in(self.folder))
        path = os.path.join(self.folder, "Pellor.dll")
        changed = read(path).replace(b"This program", b"this program", 1)
        self.assertNotEqual(changed, read(path))
        with open(path, "wb") as f:  # so the next archive differs
            f.write(changed)

    def assert_unchanged(self, previous, status, said):
        self.assertNotEqual(status, 0, said)
        self.assertEqual(len(said.splitlines()), 1, said)
        self.assertNotIn("Traceback", said)
        self.assertIn("as they were", said)
        self.assertEqual(contents(self.folder), previous)

    def test_target_that_is_a_folder(self):
        for blocked in ["SHA256SUMS", self.archive]:
            with self.subTest(blocked):
                path = os.path.join(self.folder, blocked)
                os.rename(path, path + ".moved")
                os.makedirs(os.path.join(path, "inside"))
                previous = contents(self.folder)
                done = release(self.folder)
                self.assert_unchanged(previous, done.returncode, done.stderr)
                self.assertIn(f"could not put {blocked} in place", done.stderr)
                shutil.rmtree(path)
                os.rename(path + ".moved", path)

    def test_first_release_that_fails_leaves_no_archive_behind(self):
        # Nothing to put back: the archive it placed itself must go again.
        with tempfile.TemporaryDirectory(prefix="release first ") as folder:
            for name in LIBRARIES:
                shutil.copy(os.path.join(self.folder, name), folder)
            os.makedirs(os.path.join(folder, "SHA256SUMS", "inside"))
            previous = contents(folder)
            done = release(folder)
            self.assertNotEqual(done.returncode, 0, done.stderr)
            self.assertIn("could not put SHA256SUMS in place", done.stderr)
            self.assertEqual(contents(folder), previous)

    def test_interrupt_between_putting_the_archive_and_the_sums_in_place(self):
        previous = contents(self.folder)
        real, calls = os.replace, []

        def interrupted_second(source, target):
            calls.append(target)
            if len(calls) == 2:
                raise KeyboardInterrupt
            real(source, target)

        said = io.StringIO()
        with unittest.mock.patch.object(os, "replace", interrupted_second), \
                unittest.mock.patch.object(sys, "argv", ["release.py", "--dist", self.folder]), \
                unittest.mock.patch.dict(os.environ, environment(), clear=True), \
                contextlib.redirect_stdout(io.StringIO()), contextlib.redirect_stderr(said):
            try:
                status = release_py.main()
            except KeyboardInterrupt:
                status = "the interrupt escaped"
        self.assertEqual(calls[:2], [os.path.join(self.folder, self.archive),
                                     os.path.join(self.folder, "SHA256SUMS")])
        self.assert_unchanged(previous, status, said.getvalue())
        self.assertIn("(interrupted)", said.getvalue())


class FreshCopy(unittest.TestCase):
    """The files git tracks, copied to another name, another depth and a
    path with spaces, and released there with ./release.sh."""

    @classmethod
    def setUpClass(cls):
        cls.top = tempfile.mkdtemp(prefix="release-copy-")
        cls.addClassCleanup(shutil.rmtree, cls.top)
        cls.copy = os.path.join(cls.top, "a copy", "of the", "plug-ins")
        listed = subprocess.run(["git", "-C", ROOT, "ls-files", "-z"], capture_output=True)
        assert listed.returncode == 0, ("the copy is made of the files git tracks, and git "
                                        f"cannot list them: {listed.stderr.decode()}")
        for name in filter(None, listed.stdout.decode().split("\0")):
            os.makedirs(os.path.dirname(os.path.join(cls.copy, name)), exist_ok=True)
            shutil.copy(os.path.join(ROOT, name), os.path.join(cls.copy, name))
        # Only the two libraries are built; release.sh keeps this setting.
        subprocess.run(["cmake", "--preset", "default", "-DBUILD_TESTING=OFF"], cwd=cls.copy,
                       env=environment(), check=True, capture_output=True)
        cls.first = cls.release_sh()
        cls.dist = os.path.join(cls.copy, "dist")
        cls.released = contents(cls.dist)  # before any test changes the copy

    @classmethod
    def release_sh(cls):
        return subprocess.run(["./release.sh"], cwd=cls.copy, env=environment(),
                              capture_output=True, text=True)

    def test_same_commit_in_another_folder_gives_the_same_archive_and_sums(self):
        self.assertEqual(self.first.returncode, 0, self.first.stdout + self.first.stderr)
        here = os.path.join(self.top, "here")
        os.mkdir(here)
        done = release(here)
        self.assertEqual(done.returncode, 0, done.stderr)
        for name in LIBRARIES + ["SHA256SUMS", os.path.basename(archive_in(here))]:
            self.assertEqual(self.released[name], contents(here)[name],
                             f"{name} differs between the two folders")

    def test_new_version_is_one_line_and_an_incremental_build_ships_it(self):
        self.assertEqual(self.first.returncode, 0, self.first.stdout + self.first.stderr)
        header = os.path.join(self.copy, "resources", "version.h")
        before = read(header).decode("ascii")
        # The next build number, whatever the version is today: 1.0.0.0 gives
        # 1.0.1.0, whose texts read "1, 00, 01, 0".
        major, minor, build, revision = header_version(header)
        bumped = (major, minor, build + 1, revision)
        after = re.sub(r"(?m)^(#define PLUGIN_VERSION_NUMBERS ).*$",
                       r"\g<1>" + ", ".join(map(str, bumped)), before)
        self.assertEqual(len([a for a, b in zip(before.splitlines(), after.splitlines())
                              if a != b]), 1, "not one line changed")
        with open(header, "w", encoding="ascii") as f:
            f.write(after)
        # release.sh builds again, here incrementally: unless the version block
        # depends on version.h, the libraries keep the old version and are refused.
        done = self.release_sh()
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        archive = os.path.join(self.dist, f"history-plugins-{dotted(bumped)}-win32.zip")
        listed = read(os.path.join(self.dist, "SHA256SUMS")).decode()
        self.assertIn(f"  {os.path.basename(archive)}\n", listed)
        with zipfile.ZipFile(archive) as z:
            for name in LIBRARIES:
                pe = pefile.PE(data=z.read(name))
                fixed = pe.VS_FIXEDFILEINFO[0]
                self.assertEqual([fixed.FileVersionMS, fixed.FileVersionLS, fixed.ProductVersionMS,
                                  fixed.ProductVersionLS],
                                 [major << 16 | minor, (build + 1) << 16 | revision] * 2, name)
                strings = [t.entries for f in pe.FileInfo[0] if f.Key == b"StringFileInfo"
                           for t in f.StringTable][0]
                text = f"{major}, {minor:02d}, {build + 1:02d}, {revision}".encode()
                self.assertEqual([strings[b"FileVersion"], strings[b"ProductVersion"]],
                                 [text] * 2, name)


# Stands in for a signing tool: records its arguments and the permissions of
# each password file it is handed, then runs the real tool.
RECORDING_TOOL = """#!/usr/bin/python3
import json, os, sys
handed = [a[len("file:"):] if a.startswith("file:") else a
          for before, a in zip(sys.argv, sys.argv[1:])
          if a.startswith("file:") or before == "-readpass"]
with open({log!r}, "a") as f:
    f.write(json.dumps({{"argv": sys.argv, "modes": [os.stat(p).st_mode & 0o777
                                                    for p in handed]}}) + "\\n")
os.execv({real!r}, [{real!r}] + sys.argv[1:])
"""


class SignedRelease(Released):
    PASSWORD = "a passphrase with spaces"

    @classmethod
    def setUpClass(cls):
        cls.keys = tempfile.mkdtemp(prefix="release-keys-")
        cls.addClassCleanup(shutil.rmtree, cls.keys)
        cls.authority = signing_identity.Authority(cls.keys)
        p12 = cls.authority.identity("signer", cls.PASSWORD)
        tools, cls.tool_log = os.path.join(cls.keys, "tools"), os.path.join(cls.keys, "tools.log")
        os.mkdir(tools)
        for tool in ["openssl", "osslsigncode"]:
            with open(os.path.join(tools, tool), "w") as f:
                f.write(RECORDING_TOOL.format(log=cls.tool_log, real=shutil.which(tool)))
            os.chmod(os.path.join(tools, tool), 0o755)
        with signing_identity.TimestampServer(cls.authority) as server:
            cls.signing = {"HISTORY_SIGN_PKCS12": p12,
                           "HISTORY_SIGN_PASSWORD_FILE": os.path.join(cls.keys, "signer.pass"),
                           "HISTORY_SIGN_TIMESTAMP_URL": server.url,
                           "PATH": tools + os.pathsep + os.environ["PATH"]}
            super().setUpClass()
        cls.timestamps = server.answered

    def test_password_reaches_the_tools_only_through_a_mode_600_file(self):
        with open(self.tool_log) as f:
            calls = [json.loads(line) for line in f]
        for call in calls:
            self.assertFalse([a for a in call["argv"] if self.PASSWORD in a],
                             f"the password on a command line: {call['argv']}")
            self.assertEqual({oct(m) for m in call["modes"]} - {"0o600"}, set(),
                             f"a password file others may read: {call['argv']}")
        for tool in ["openssl", "osslsigncode"]:  # or the checks above prove nothing
            self.assertTrue([c for c in calls if os.path.basename(c["argv"][0]) == tool
                             and c["modes"]], f"{tool} was handed no password file")

    def verify(self, path):
        return subprocess.run(["osslsigncode", "verify", "-in", path, "-CAfile", self.authority.pem,
                               "-TSA-CAfile", self.authority.pem], capture_output=True, text=True)

    def test_both_libraries_verify_with_their_timestamp_and_a_damaged_one_does_not(self):
        self.assertEqual(self.timestamps, 2, "the timestamp server was not asked once per library")
        for name in LIBRARIES:
            path = os.path.join(self.unpacked, name)
            checked = self.verify(path)
            self.assertEqual(checked.returncode, 0, f"{name}: {checked.stdout}{checked.stderr}")
            self.assertIn("Message digest algorithm  : SHA256", checked.stdout)
            self.assertIn("Timestamp Server Signature verification: ok", checked.stdout)
        damaged = os.path.join(self.folder, "damaged.dll")
        data = bytearray(self.member("Pellor.dll"))
        data[0x500] ^= 0x01  # inside the code
        with open(damaged, "wb") as f:
            f.write(data)
        self.assertNotEqual(self.verify(damaged).returncode, 0,
                            "osslsigncode accepted a signed library changed after signing")
        os.unlink(damaged)

    def test_signed_libraries_keep_exports_imports_version_block_and_hardening(self):
        checked = subprocess.run([sys.executable, ARTIFACT_TEST], capture_output=True, text=True,
                                 env=dict(os.environ, PLUGIN_DIST=self.unpacked, PLUGIN_SIGNED="1"))
        self.assertEqual(checked.returncode, 0, checked.stderr)
        self.assertRegex(checked.stderr, r"Ran [1-9]\d* tests", "the checks did not run")
        for name in LIBRARIES:  # the image itself as long as the unsigned file
            self.assertIn(f"{name}: {len(built(name))} bytes before the signature", checked.stderr)

    def test_signed_libraries_have_a_valid_pe_checksum(self):
        for name in LIBRARIES:
            pe = pefile.PE(data=self.member(name))
            self.assertNotEqual(pe.OPTIONAL_HEADER.CheckSum, 0, name)
            self.assertTrue(pe.verify_checksum(), f"{name}: the loader would see a bad checksum")

    def test_built_libraries_stay_unsigned_and_only_the_archive_holds_signed_ones(self):
        for name in LIBRARIES:
            self.assertEqual(read(os.path.join(self.folder, name)), built(name), name)
            self.assertEqual(len(built(name)), 5632, name)
            self.assertNotEqual(self.member(name), built(name), f"{name} in the archive")

    def test_guide_names_the_signer_and_how_to_check_the_signature(self):
        guide = self.guide()
        self.assertIn("signature (SHA-256) by \"History plug-ins test signer\"", guide)
        self.assertIn("Get-AuthenticodeSignature", guide)
        self.assertNotIn("not signed", guide)
        self.assertIn("as \"History plug-ins test signer\"", self.done.stdout)

    def test_sums_are_those_of_the_signed_libraries(self):
        self.check_sums_as_a_user_would()

    def test_certificate_file_without_a_password_signs_too(self):
        p12 = self.authority.identity("open", "")
        with tempfile.TemporaryDirectory() as folder:
            done = release(folder, HISTORY_SIGN_PKCS12=p12, HISTORY_SIGN_PASSWORD="")
            self.assertEqual(done.returncode, 0, done.stderr)
            unpack(archive_in(folder), folder)
            checked = self.verify(os.path.join(folder, "Pellor.dll"))
            self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)


class RefusedSigning(unittest.TestCase):
    """Each bad input is refused with a message that says what is wrong, and
    the previous release stays byte for byte, with nothing beside it."""

    @classmethod
    def setUpClass(cls):
        cls.keys = tempfile.mkdtemp(prefix="release-keys-")
        cls.addClassCleanup(shutil.rmtree, cls.keys)
        cls.authority = signing_identity.Authority(cls.keys)
        identity = cls.authority.identity
        day = signing_identity.DAY
        cls.good = identity("good", "right")
        cls.expired = identity("expired", "right", not_before=-3 * day, not_after=-day)
        cls.early = identity("early", "right", not_before=day, not_after=3 * day)
        cls.server = identity("server", "right", extensions="server_only")
        cls.keyless = identity("keyless", "right", with_key=False)
        cls.folder = tempfile.mkdtemp(prefix="release-previous-")
        cls.addClassCleanup(shutil.rmtree, cls.folder)
        previous = release(cls.folder)
        assert previous.returncode == 0, previous.stderr
        cls.previous = contents(cls.folder)

    def refused(self, expected, **signing):
        done = release(self.folder, **signing)
        self.assertNotEqual(done.returncode, 0, f"released anyway: {done.stdout}")
        self.assertRegex(done.stderr, expected)
        self.assertIn("nothing was written", done.stderr)
        self.assertNotIn("Wrote", done.stdout)
        self.assertEqual(contents(self.folder), self.previous,
                         "the previous release was changed or something was left beside it")

    def test_wrong_password(self):
        self.refused(r"wrong password for the certificate file .*good\.p12",
                     HISTORY_SIGN_PKCS12=self.good, HISTORY_SIGN_PASSWORD="wrong")

    def test_certificate_not_for_code_signing(self):
        self.refused(r"is not for code signing .*TLS Web Server Authentication",
                     HISTORY_SIGN_PKCS12=self.server, HISTORY_SIGN_PASSWORD="right")

    def test_expired_certificate(self):
        self.refused(r"certificate \"History plug-ins test signer\" has expired",
                     HISTORY_SIGN_PKCS12=self.expired, HISTORY_SIGN_PASSWORD="right")

    def test_certificate_not_valid_yet(self):
        self.refused(r"is not valid yet",
                     HISTORY_SIGN_PKCS12=self.early, HISTORY_SIGN_PASSWORD="right")

    def test_unreachable_timestamp_server(self):
        with socket.socket() as s:  # a port nobody listens on
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
        url = f"http://127.0.0.1:{port}/"
        self.refused(rf"timestamp server {re.escape(url)} cannot be reached: .*refused",
                     HISTORY_SIGN_PKCS12=self.good, HISTORY_SIGN_PASSWORD="right",
                     HISTORY_SIGN_TIMESTAMP_URL=url)

    def test_missing_certificate_file_or_password(self):
        missing = os.path.join(self.keys, "no such file.p12")
        self.refused(r"certificate file .*no such file\.p12 \(HISTORY_SIGN_PKCS12\) cannot be read",
                     HISTORY_SIGN_PKCS12=missing, HISTORY_SIGN_PASSWORD="right")
        self.refused(r"no password is", HISTORY_SIGN_PKCS12=self.good)
        self.refused(r"HISTORY_SIGN_PASSWORD_FILE is set but HISTORY_SIGN_PKCS12 is not",
                     HISTORY_SIGN_PASSWORD_FILE=os.path.join(self.keys, "good.pass"))

    def test_file_that_is_not_a_certificate_or_holds_no_key(self):
        self.refused(r"is not a PKCS#12 file",
                     HISTORY_SIGN_PKCS12=self.authority.pem, HISTORY_SIGN_PASSWORD="right")
        self.refused(r"keyless\.p12 holds no private key",
                     HISTORY_SIGN_PKCS12=self.keyless, HISTORY_SIGN_PASSWORD="right")


if __name__ == "__main__":
    unittest.main(verbosity=2)
