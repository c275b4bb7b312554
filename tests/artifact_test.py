#!/usr/bin/python3
"""Checks the two shipped libraries as files: what the editor's loader and
the platform see before a single instruction runs; and how the version block
spells versions other than today's."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

import pefile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
from release import Refused, header_version, version_text  # noqa: E402

DIST = os.environ.get("PLUGIN_DIST", os.path.join(ROOT, "dist"))
# What resources/version.h says, so a new version is edited there alone.
VERSION = header_version()

LIBRARIES = {
    "Pellor.dll": "GetSaveFileNameW",
    "Dravik.dll": "GetOpenFileNameW",
}

EXPORTS = [(1, "DllMain"), (2, "OnCall"), (3, "OnExit"), (4, "OnInstall")]

STRINGS = [
    ("Comments", "Save and load history plug-in"),
    ("CompanyName", None),  # the project's own text: present, not empty
    ("FileDescription", "Save and load history plug-in"),
    ("FileVersion", version_text(VERSION)),
    ("LegalCopyright", None),
    ("LegalTrademarks", ""),
    ("PrivateBuild", ""),
    ("ProductVersion", version_text(VERSION)),
    ("SpecialBuild", ""),
]

MAX_FILE_BYTES = 5632
# Set for the release's signed copies: the limit is then the image's, the
# signature appended to it being the only thing allowed beyond.
SIGNED = os.environ.get("PLUGIN_SIGNED") == "1"

SCN_EXECUTE = 0x20000000
SCN_WRITE = 0x80000000
SCN_SHARED = 0x10000000
DLL_DYNAMIC_BASE = 0x0040
DLL_NX_COMPAT = 0x0100
DLL_NO_SEH = 0x0400
RT_VERSION = 16
LANG_EN_US = 1033


def load(name):
    return pefile.PE(os.path.join(DIST, name))


class LibraryChecks:
    """Every check, run for each library on its own (see the classes below),
    so a fault in one never hides a fault in the other; a failure names the
    file."""

    NAME = DIALOG = None

    @classmethod
    def setUpClass(cls):
        cls.pe = load(cls.NAME)

    def test_is_a_32bit_gui_dll(self):
        name, pe = self.NAME, self.pe
        self.assertEqual(pe.FILE_HEADER.Machine, 0x14C, f"{name}: not i386")
        self.assertTrue(pe.is_dll(), f"{name}: not flagged as a DLL")
        self.assertEqual(pe.OPTIONAL_HEADER.Magic, 0x10B, f"{name}: not PE32")
        self.assertEqual(pe.OPTIONAL_HEADER.Subsystem, 2, f"{name}: not GUI")

    def test_exports_four_undecorated_names_in_ordinal_order(self):
        name, pe = self.NAME, self.pe
        exports = pe.DIRECTORY_ENTRY_EXPORT
        self.assertEqual(exports.name.decode(), name, "module name")
        got = [(e.ordinal, e.name.decode() if e.name else None) for e in exports.symbols]
        self.assertEqual(got, EXPORTS, f"{name}: a decorated or extra export breaks lookups")
        self.assertTrue(all(e.forwarder is None for e in exports.symbols))

    def test_entry_point_is_dllmain_itself(self):
        name, pe = self.NAME, self.pe
        dllmain = next(e for e in pe.DIRECTORY_ENTRY_EXPORT.symbols if e.name == b"DllMain")
        self.assertEqual(pe.OPTIONAL_HEADER.AddressOfEntryPoint, dllmain.address,
                         f"{name}: a runtime startup stub runs before DllMain")

    def test_imports_exactly_the_platform_functions_they_need(self):
        name, dialog, pe = self.NAME, self.DIALOG, self.pe
        got = {
            entry.dll.decode().upper(): sorted(i.name.decode() for i in entry.imports)
            for entry in pe.DIRECTORY_ENTRY_IMPORT
        }
        want = {
            # The refusal, and the box naming a letter no ANSI text holds.
            "USER32.DLL": ["MessageBoxA", "MessageBoxW"],
            # The wide dialog keeps every letter of the chosen path, which
            # is then handed on only in a form naming the same file.
            "COMDLG32.DLL": [dialog],
            "KERNEL32.DLL": ["GetACP", "GetShortPathNameW", "WideCharToMultiByte", "lstrcpyA"],
        }
        self.assertEqual(got, want, f"{name}: a stray import would tie the editor to a runtime")
        self.assertFalse(hasattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT"), f"{name}: delay imports")

    def test_version_block_is_the_only_resource(self):
        name, pe = self.NAME, self.pe
        types = pe.DIRECTORY_ENTRY_RESOURCE.entries
        self.assertEqual([t.id for t in types], [RT_VERSION], f"{name}: resource types")
        ids = types[0].directory.entries
        self.assertEqual([i.id for i in ids], [1], f"{name}: version resource number")
        langs = ids[0].directory.entries
        self.assertEqual([l.id for l in langs], [LANG_EN_US], f"{name}: version language")

    def test_version_fixed_part(self):
        name, pe = self.NAME, self.pe
        fixed = pe.VS_FIXEDFILEINFO[0]
        major, minor, build, revision = VERSION
        numbers = (major << 16 | minor, build << 16 | revision)
        self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS), numbers, name)
        self.assertEqual((fixed.ProductVersionMS, fixed.ProductVersionLS), numbers, name)
        self.assertEqual(fixed.FileFlagsMask, 0x3F, name)
        self.assertEqual(fixed.FileFlags, 0, name)
        self.assertEqual(fixed.FileOS, 0x4, f"{name}: not 32-bit Windows")
        self.assertEqual(fixed.FileType, 0x2, f"{name}: not a DLL")
        self.assertEqual(fixed.FileSubtype, 0, name)
        self.assertEqual((fixed.FileDateMS, fixed.FileDateLS), (0, 0), name)

    def test_version_strings_in_order(self):
        name, pe = self.NAME, self.pe
        string_files = [f for f in pe.FileInfo[0] if f.Key == b"StringFileInfo"]
        self.assertEqual(len(string_files), 1, name)
        tables = string_files[0].StringTable
        self.assertEqual([t.LangID for t in tables], [b"040904b0"], f"{name}: string tables")
        got = [(k.decode(), v.decode()) for k, v in tables[0].entries.items()]
        self.assertEqual([k for k, _ in got], [k for k, _ in STRINGS], f"{name}: keys")
        for (key, value), (_, want) in zip(got, STRINGS):
            if want is None:
                self.assertTrue(value.strip(), f"{name}: {key} is empty")
            else:
                self.assertEqual(value, want, f"{name}: {key}")

    def test_version_translation(self):
        name, pe = self.NAME, self.pe
        var_files = [f for f in pe.FileInfo[0] if f.Key == b"VarFileInfo"]
        self.assertEqual(len(var_files), 1, name)
        pairs = [v.entry for v in var_files[0].Var]
        self.assertEqual(pairs, [{b"Translation": "0x0409 0x04b0"}], name)

    def test_hardening_flags(self):
        name, pe = self.NAME, self.pe
        flags = pe.OPTIONAL_HEADER.DllCharacteristics
        self.assertTrue(flags & DLL_DYNAMIC_BASE, f"{name}: no ASLR")
        self.assertTrue(flags & DLL_NX_COMPAT, f"{name}: not NX compatible")
        self.assertTrue(flags & DLL_NO_SEH, f"{name}: NO_SEH missing")
        relocs = pe.OPTIONAL_HEADER.DATA_DIRECTORY[5]
        self.assertGreater(relocs.Size, 0, f"{name}: ASLR without relocations cannot move")
        self.assertTrue(hasattr(pe, "DIRECTORY_ENTRY_BASERELOC"), name)
        self.assertFalse(pe.FILE_HEADER.Characteristics & 0x0001, f"{name}: relocations stripped")

    def test_no_writable_code_no_shared_data_no_tls(self):
        name, pe = self.NAME, self.pe
        for s in pe.sections:
            label = f"{name}: section {s.Name.rstrip(bytes(1)).decode()}"
            self.assertFalse(s.Characteristics & SCN_WRITE and s.Characteristics & SCN_EXECUTE,
                             f"{label} is writable and executable")
            self.assertFalse(s.Characteristics & SCN_SHARED and s.Characteristics & SCN_WRITE,
                             f"{label} is shared between processes")
        self.assertEqual(pe.OPTIONAL_HEADER.DATA_DIRECTORY[9].Size, 0, f"{name}: TLS callbacks")
        self.assertFalse(hasattr(pe, "DIRECTORY_ENTRY_TLS"), name)

    def test_reproducible_headers(self):
        name, pe = self.NAME, self.pe
        self.assertEqual(pe.FILE_HEADER.TimeDateStamp, 0, f"{name}: build time in the header")
        self.assertEqual(pe.DIRECTORY_ENTRY_EXPORT.struct.TimeDateStamp, 0, name)
        self.assertEqual(pe.OPTIONAL_HEADER.DATA_DIRECTORY[6].Size, 0, f"{name}: debug directory")

    def test_size_on_disk(self):
        name, pe = self.NAME, self.pe
        size = os.path.getsize(os.path.join(DIST, name))
        if SIGNED:
            certificates = pe.OPTIONAL_HEADER.DATA_DIRECTORY[4]  # a file offset
            self.assertGreater(certificates.Size, 0, f"{name}: not signed")
            self.assertEqual(certificates.VirtualAddress + certificates.Size, size,
                             f"{name}: bytes beyond the signature")
            size = certificates.VirtualAddress
        print(f"{name}: {size} bytes{' before the signature' if SIGNED else ''}", file=sys.stderr)
        self.assertLessEqual(size, MAX_FILE_BYTES, name)


class Pellor(LibraryChecks, unittest.TestCase):
    NAME, DIALOG = "Pellor.dll", LIBRARIES["Pellor.dll"]


class Dravik(LibraryChecks, unittest.TestCase):
    NAME, DIALOG = "Dravik.dll", LIBRARIES["Dravik.dll"]


class BothLibraries(unittest.TestCase):
    def test_same_layout_apart_from_the_variant(self):
        save, load_ = load("Pellor.dll"), load("Dravik.dll")
        self.assertEqual([s.Name for s in save.sections], [s.Name for s in load_.sections])
        self.assertEqual(save.VS_FIXEDFILEINFO[0].__pack__(), load_.VS_FIXEDFILEINFO[0].__pack__())


# The version block's texts where the padding of minor and build stops
# (9, 10, 99, 100) and at the largest numbers a block holds.
SPELLINGS = [
    ((1, 0, 0, 0), "1, 00, 00, 0"),
    ((1, 9, 9, 9), "1, 09, 09, 9"),
    ((1, 0, 10, 0), "1, 00, 10, 0"),
    ((1, 10, 0, 10), "1, 10, 00, 10"),
    ((10, 99, 99, 99), "10, 99, 99, 99"),
    ((100, 100, 100, 100), "100, 100, 100, 100"),
    ((65535, 65535, 65535, 65535), "65535, 65535, 65535, 65535"),
]


class VersionSpelling(unittest.TestCase):
    """Each version spelt by the version block's own source, built with a
    version.h of those numbers, and by the release's check of it; the
    header's limit of 65535 taken and the next number refused."""

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="version-spelling-")
        self.addCleanup(shutil.rmtree, self.folder)
        shutil.copy(os.path.join(ROOT, "resources", "version.rc"), self.folder)

    def header(self, numbers):
        """A version.h of these numbers, given as a tuple or as written."""
        with open(os.path.join(ROOT, "resources", "version.h"), encoding="ascii") as f:
            text = f.read()
        text, n = re.subn(r"(?m)^(#define PLUGIN_VERSION_NUMBERS ).*$",
                          lambda m: m.group(1) + (numbers if isinstance(numbers, str)
                                                  else ", ".join(map(str, numbers))), text)
        self.assertEqual(n, 1, "version.h has no PLUGIN_VERSION_NUMBERS line")
        path = os.path.join(self.folder, "version.h")
        with open(path, "w", encoding="ascii") as f:
            f.write(text)
        return path

    def test_minor_and_build_padded_below_ten_only(self):
        windres = shutil.which("i686-w64-mingw32-windres")
        self.assertIsNotNone(windres, "no i686-w64-mingw32-windres to build the version block")
        for numbers, spelt in SPELLINGS:
            with self.subTest(numbers):
                self.assertEqual(header_version(self.header(numbers)), numbers)
                self.assertEqual(version_text(numbers), spelt)
                # The block as the resource compiler reads it back, its
                # strings joined.
                done = subprocess.run([windres, "-i", os.path.join(self.folder, "version.rc"),
                                       "-O", "rc"], capture_output=True, text=True)
                self.assertEqual(done.returncode, 0, done.stderr)
                self.assertEqual(re.findall(r'VALUE "(?:File|Product)Version", "(.*)"', done.stdout),
                                 [spelt, spelt])

    def test_parts_over_65535_are_refused(self):
        for numbers in [(65536, 0, 0, 0), (1, 0, 0, 65536)]:
            with self.subTest(numbers):
                with self.assertRaisesRegex(Refused, "at most 65535"):
                    header_version(self.header(numbers))

    def test_the_build_takes_the_numbers_the_block_can_hold_and_no_other(self):
        # Configured in a folder of the project file and the header alone:
        # the version is checked before anything else is looked for.
        shutil.copy(os.path.join(ROOT, "CMakeLists.txt"), self.folder)
        os.mkdir(os.path.join(self.folder, "resources"))
        cases = [("65535, 65535, 65535, 65535", True), ("0, 0, 0, 0", True),
                 ("65536, 0, 0, 0", False), ("1, 0, 0, 99999", False),
                 ("1, 0, 100000, 0", False), ("1, 010, 0, 0", False), ("1, 0, 0", False)]
        for numbers, taken in cases:
            with self.subTest(numbers):
                os.replace(self.header(numbers), os.path.join(self.folder, "resources", "version.h"))
                done = subprocess.run(["cmake", "-S", self.folder, "-B",
                                       os.path.join(self.folder, "build")],
                                      capture_output=True, text=True)
                self.assertEqual("PLUGIN_VERSION_NUMBERS" not in done.stderr, taken, done.stderr)
                if not taken:
                    self.assertNotEqual(done.returncode, 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
