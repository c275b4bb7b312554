#!/usr/bin/python3
"""The project's own verdicts fail on the faults they exist to catch: the
round trip's comparison of transcripts, the refusal rule, the strict ctest
run, the shipped files' checks, the docs check, the include-loop check, the
end-to-end cases' own checks and the round trip's script; and the Windows
runtime's exit status, the installer's packages and the fault runner, each
fed the fault itself."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TOOLS = os.path.join(ROOT, "tools")
TESTS = os.path.join(ROOT, "tests")
# A UTF-8 locale, in which GNU grep would call a line with bytes above 127
# binary and skip it.
UTF8 = {k: v for k, v in os.environ.items() if not k.startswith("LC_")}
UTF8["LANG"] = "C.UTF-8"

ENTRIES = [
    b"SELECT id, name FROM customers WHERE city = 'Oslo';",
    b"SELECT o.id\\r\\n  FROM orders o;",
    b"UPDATE settings SET value = 'a=b; [c]' WHERE key = \\\"mode\\\";",
    b"  -- kept with its spaces  ",
    b"INSERT INTO notes(text) VALUES ('caf\xe9 cr\xe8me');",
]


def transcript(entries, version=b"1.51.22", outcomes=(b"accepted", b"accepted")):
    out = [b"editor version " + version + b", ANSI code page 1252"]
    for name, outcome in zip((b"Pellor.dll", b"Dravik.dll"), outcomes):
        out.append(b"installed /dist/" + name + b": " + outcome)
    out.append(b"step: show")
    out += [b"entry %d: \"%s\"" % (i + 1, e) for i, e in enumerate(entries)]
    out.append(b"step: quit")
    return b"\n".join(out) + b"\n"


def history_file(count):
    return b"[History]\r\nCount=%d\r\n" % count


class Folder(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="checks ")
        self.addCleanup(shutil.rmtree, self.dir)

    def write(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def run_tool(self, *args, env=None):
        return subprocess.run([sys.executable, *args], capture_output=True,
                              env=env or UTF8, cwd=self.dir)


class RoundTripVerdict(Folder):
    def verdict(self, saved, loaded, file):
        r = self.run_tool(os.path.join(TOOLS, "transcript.py"), "history",
                          self.write("save.log", saved), self.write("load.log", loaded),
                          self.write("history.ini", file))
        return r.returncode, r.stdout.decode("utf-8", "replace")

    def test_identical_history_counts_every_entry_in_a_utf8_locale(self):
        code, out = self.verdict(transcript(ENTRIES), transcript(ENTRIES), history_file(5))
        self.assertEqual(code, 0, out)
        self.assertIn("identical: yes (5 entries)", out)

    def test_changed_entry_above_127_is_caught(self):
        changed = ENTRIES[:4] + [ENTRIES[4].replace(b"\xe8", b"\xe9")]
        code, out = self.verdict(transcript(ENTRIES), transcript(changed), history_file(5))
        self.assertEqual(code, 1, out)
        self.assertIn("entry 5 differs", out)

    def test_lost_entry_is_caught(self):
        code, out = self.verdict(transcript(ENTRIES), transcript(ENTRIES[:4]), history_file(5))
        self.assertEqual(code, 1, out)
        self.assertIn("5 entries were saved, 4 came back", out)

    def test_file_count_other_than_the_entries_saved_is_caught(self):
        code, out = self.verdict(transcript(ENTRIES), transcript(ENTRIES), history_file(4))
        self.assertEqual(code, 1, out)
        self.assertIn("Count=4", out)

    def test_nothing_saved_is_no_success(self):
        code, out = self.verdict(transcript([]), transcript([]), history_file(0))
        self.assertEqual(code, 1, out)
        self.assertIn("no entries", out)

    def test_entries_not_numbered_from_one_are_caught(self):
        # Both editors showed the same entries and the file's count agrees:
        # only the numbering says an entry went missing from the show.
        skipped = transcript(ENTRIES).replace(b"entry 3: ", b"entry 6: ")
        code, out = self.verdict(skipped, skipped, history_file(5))
        self.assertEqual(code, 1, out)
        self.assertIn("not numbered 1 to 5", out)

    def test_missing_history_file_is_caught(self):
        saved = self.write("save.log", transcript(ENTRIES))
        r = self.run_tool(os.path.join(TOOLS, "transcript.py"), "history", saved, saved,
                          os.path.join(self.dir, "never written.ini"))
        self.assertEqual(r.returncode, 1)
        self.assertIn(b"not written", r.stdout)


class RefusalVerdict(Folder):
    def installs(self, version, outcomes, *names, said=b""):
        r = self.run_tool(os.path.join(TOOLS, "transcript.py"), "installs",
                          self.write("save.log", transcript(ENTRIES, version, outcomes) + said),
                          *names)
        return r.returncode, r.stdout.decode()

    def test_library_refusing_a_new_enough_editor_fails_the_run(self):
        code, out = self.installs(b"1.51.22", (b"accepted", b"refused"))
        self.assertEqual(code, 1, out)
        self.assertIn("Dravik.dll refused editor 1.51.22", out)

    def test_library_accepting_an_old_editor_fails_the_run(self):
        code, out = self.installs(b"1.51.21", (b"accepted", b"refused"))
        self.assertEqual(code, 1, out)
        self.assertIn("Pellor.dll accepted editor 1.51.21", out)

    def test_refusal_is_the_result_only_for_an_old_editor(self):
        for version in (b"1.51.21", b"1.50.99", b"0.99.99"):
            code, out = self.installs(version, (b"refused", b"refused"))
            self.assertEqual(code, 3, out)
        code, out = self.installs(b"2.0.0", (b"accepted", b"accepted"))
        self.assertEqual(code, 0, out)

    def test_library_that_never_installed_fails_the_run(self):
        # Only Pellor.dll installed; the editor could not load Dravik.dll.
        said = b"status: cannot load /dist/Dravik.dll (error 126)\n"
        for version, outcome in ((b"1.51.22", b"accepted"), (b"1.51.21", b"refused")):
            code, out = self.installs(version, (outcome,), said=said)
            self.assertEqual(code, 1, out)
            self.assertIn("Dravik.dll never installed (status: cannot load", out)
        code, out = self.installs(b"1.51.22", (b"accepted",), "pellor.DLL")
        self.assertEqual(code, 0, out)
        code, out = self.installs(b"1.51.22", (b"accepted", b"accepted"), "Pellor.dll",
                                  "Other.dll")
        self.assertEqual(code, 1, out)
        self.assertIn("Other.dll never installed", out)

    def test_library_named_by_a_windows_path_installed(self):
        # As an editor given Windows paths says it: "\\" separates the name.
        r = self.run_tool(os.path.join(TOOLS, "transcript.py"), "installs", self.write(
            "save.log", transcript(ENTRIES).replace(b"/dist/", b"Z:\\a dist\\")))
        self.assertEqual(r.returncode, 0, r.stdout)
        self.assertIn(b"Every library accepted", r.stdout)

    def test_editor_that_never_started_fails_the_run(self):
        r = self.run_tool(os.path.join(TOOLS, "transcript.py"), "installs",
                          self.write("save.log", b"err: cannot start\n"))
        self.assertEqual(r.returncode, 1)


class StrictCtest(Folder):
    """tools/ctest-strict.py on a small project of its own."""

    def project(self, tests):
        lines = ["cmake_minimum_required(VERSION 3.20)", "project(p NONE)", "enable_testing()"]
        lines += tests
        self.write("CMakeLists.txt", "\n".join(lines).encode())
        build = os.path.join(self.dir, "build")
        subprocess.run(["cmake", "-S", self.dir, "-B", build], check=True,
                       capture_output=True)
        return build

    def strict(self, build, *args):
        r = self.run_tool(os.path.join(TOOLS, "ctest-strict.py"), "--test-dir", build, *args)
        return r.returncode, (r.stdout + r.stderr).decode()

    def test_skipped_test_fails_the_run_and_says_why(self):
        build = self.project([
            'add_test(NAME passes COMMAND true)',
            'add_test(NAME skips COMMAND sh -c "echo no display here; exit 77")',
            'set_tests_properties(skips PROPERTIES SKIP_RETURN_CODE 77)',
        ])
        code, out = self.strict(build)
        self.assertNotEqual(code, 0, out)
        self.assertIn("skips did not run", out)
        self.assertIn("no display here", out)

    def test_no_selected_test_fails_the_run(self):
        build = self.project(['add_test(NAME passes COMMAND true)'])
        code, out = self.strict(build, "-R", "nothing-matches")
        self.assertNotEqual(code, 0, out)
        self.assertIn("no test was selected", out)

    def test_all_passing_is_a_pass(self):
        build = self.project(['add_test(NAME passes COMMAND true)'])
        code, out = self.strict(build)
        self.assertEqual(code, 0, out)


class ShippedFileChecks(Folder):
    """tests/artifact_test.py on libraries damaged one way each."""

    def test_a_fault_in_one_library_never_hides_a_fault_in_the_other(self):
        import pefile
        dist = os.environ.get("PLUGIN_DIST", os.path.join(ROOT, "dist"))
        # The same fault in both, so both fail the same check.
        for name in ("Pellor.dll", "Dravik.dll"):
            pe = pefile.PE(os.path.join(dist, name))
            pe.OPTIONAL_HEADER.Subsystem = 3  # a console program's
            pe.write(os.path.join(self.dir, name))
        env = dict(UTF8, PLUGIN_DIST=self.dir)
        r = self.run_tool(os.path.join(ROOT, "tests", "artifact_test.py"), env=env)
        out = r.stderr.decode()
        self.assertNotEqual(r.returncode, 0, out)
        self.assertIn("Pellor.dll: not GUI", out)
        self.assertIn("Dravik.dll: not GUI", out)


def sentence(words, end="."):
    return " ".join(["word"] * words) + end


def appended(text):
    return lambda page: page + "\n" + text + "\n"


def padded_to_lines(lines):
    return lambda page: page + "\n" * (lines - len(page.splitlines()))


def padded_to_characters(characters):
    # In a code block, so that only the length counts.
    fence = "\n```\n\n```\n"
    return lambda page: (page + fence[:5] + "x" * (characters - len(page) - len(fence))
                         + fence[5:])


def replaced(old, new):
    def change(page):
        assert old in page, f"{old!r} is not on the page: the row needs mending"
        return page.replace(old, new)
    return change


# Each row: what is done, to which file, and what the docs check must say of
# it (None: it must pass; a change of None deletes the file).
DOCS_FAULTS = [
    ("the pages as they are", "README.md", lambda page: page, None),
    ("a front page of 200 lines", "README.md", padded_to_lines(200), None),
    ("a front page of 250 lines under 14,000 characters", "README.md",
     padded_to_lines(250), "README.md: 250 lines; a front page has at most 200"),
    ("a front page of 14,000 characters", "README.md", padded_to_characters(14000), None),
    ("a front page of 14,001 characters within 200 lines", "README.md",
     padded_to_characters(14001), "README.md: 14,001 characters; a front page has at most 14,000"),
    ("a link to a missing page", "README.md", appended("[Gone](docs/gone.md)"),
     "README.md: docs/gone.md: no such file"),
    ("a link to a missing heading", "README.md", appended("[Here](docs/editor.md#nowhere)"),
     "no heading or anchor #nowhere in docs/editor.md"),
    ("a page the front page does not link", "docs/unlinked.md", lambda page: "# Unlinked\n",
     "README.md: no link to docs/unlinked.md"),
    ("a sentence of 35 words on the front page", "README.md", appended(sentence(35)), None),
    ("a sentence of 36 words on the front page", "README.md", appended(sentence(36)),
     "a sentence of 36 words, at most 35"),
    ("36 words joined by a semicolon", "README.md",
     appended(sentence(18, ";") + " " + sentence(18)), "a sentence of 36 words, at most 35"),
    ("36 words in a list item", "README.md", appended("- " + sentence(36, "")),
     "a sentence of 36 words, at most 35"),
    ("a sentence of 36 words in the guide", "resources/release-guide.txt",
     appended(sentence(36)), "resources/release-guide.txt:"),
    ("a sentence of 50 words in docs/", "docs/guest.md", appended(sentence(50)), None),
    ("a sentence of 51 words in docs/", "docs/guest.md", appended(sentence(51)),
     "docs/guest.md:"),
    ("60 words in a code block", "docs/guest.md",
     appended("```\n" + sentence(60) + "\n```"), None),
    ("the guide missing", "resources/release-guide.txt", None,
     "resources/release-guide.txt: missing"),
    ("the refusal box's caption spelled otherwise than the libraries do",
     "resources/release-guide.txt", replaced("plig-in", "plug-in"),
     "does not show the refusal box's \"Save History plig-in\""),
    ("a command naming the archive of one version", "README.md",
     appended("`certutil -hashfile history-plugins-1.0.0.0-win32.zip SHA256`"),
     "history-plugins-1.0.0.0-win32 goes stale"),
    ("a package installed and not listed", "docs/building.md",
     replaced("`fonts-wine`", "fonts-wine"), "the package fonts-wine is installed but not listed"),
    ("a package the guest installs and not listed", "docs/building.md",
     replaced("`initramfs-tools`", "initramfs-tools"),
     "the package initramfs-tools is installed but not listed"),
    ("the guest's image a size it is not", "docs/guest.md", replaced("6 GB", "3 GB"),
     "does not say the image's size (6 GB)"),
]


class DocsCheck(unittest.TestCase):
    """tests/docs_test.py on copies of the pages, each changed one way."""

    @classmethod
    def setUpClass(cls):
        cls.top = tempfile.mkdtemp(prefix="docs check ")
        cls.addClassCleanup(shutil.rmtree, cls.top)
        cls.pages = os.path.join(cls.top, "as they are")
        shutil.copytree(ROOT, cls.pages, ignore=shutil.ignore_patterns(".git", "build", "dist"))

    def test_each_fault_fails_the_check_and_each_edge_passes(self):
        for n, (what, name, change, said) in enumerate(DOCS_FAULTS):
            with self.subTest(what):
                root = os.path.join(self.top, f"row {n}")
                shutil.copytree(self.pages, root)
                path = os.path.join(root, name)
                if change is None:
                    os.remove(path)
                else:
                    page = ""
                    if os.path.exists(path):
                        with open(path, encoding="utf-8") as f:
                            page = f.read()
                    with open(path, "w", encoding="utf-8") as f:
                        f.write(change(page))
                r = subprocess.run([sys.executable, os.path.join(ROOT, "tests", "docs_test.py"),
                                    root], capture_output=True, text=True)
                if said is None:
                    self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
                else:
                    self.assertEqual(r.returncode, 1, r.stdout + r.stderr)
                    self.assertIn(said, r.stdout)
                shutil.rmtree(root)


# Stands in for Wine running the editor in an end-to-end case: prints the
# transcript it is given, writes the file it is told to, ends as told.
FAKE_EDITOR_CASE = """#!/bin/sh
cat "$FAKE_TRANSCRIPT"
[ -z "$FAKE_WRITES" ] || cp "$FAKE_CONTENT" "$FAKE_WRITES"
exit "$FAKE_STATUS"
"""

# Stands in for Wine running the editor in tools/round-trip.sh: saves one
# entry where the script says, shows it, ends with the status asked for
# the saving (FAKE_SAVE) or loading (FAKE_LOAD) editor.
FAKE_ROUND_TRIP = """#!/usr/bin/python3
import os, re, sys
if sys.argv[1] in ("--start", "--stop"):
    sys.exit(0)
script = sys.argv[sys.argv.index("--script") + 1]
print("editor version 1.51.22, ANSI code page 1252")
print("installed /dist/Pellor.dll: accepted")
print("installed /dist/Dravik.dll: accepted")
saving = re.search(r"save (Z:[^;]*)", script)
if saving:
    path = saving.group(1)[2:].replace("\\\\", "/")
    with open(path, "wb") as f:
        f.write(b'[History]\\r\\nCount=1\\r\\nEntry1="SELECT 1;"\\r\\n')
print("step: show")
print('entry 1: "SELECT 1;"')
print("step: quit")
sys.exit(int(os.environ["FAKE_SAVE" if saving else "FAKE_LOAD"]))
"""

# Plays the guest in tools/vm/run.sh: runs the shared folder's command file there.
FAKE_EMULATOR = b"""#!/usr/bin/python3
import re, subprocess, sys
share = re.search("path=((?:[^,]|,,)*)", sys.argv[sys.argv.index("-virtfs") + 1]).group(1)
subprocess.run(["sh", ".guest/cmd.sh"], cwd=share.replace(",,", ","), stdin=subprocess.DEVNULL)
"""


class ChecksOfTheTests(Folder):
    """The checks the tests themselves are made of, fed the input each one
    exists to refuse beside input it must pass: one table."""

    def include_loops(self, files):
        tree = os.path.join(self.dir, "tree")
        for name, includes in files.items():
            os.makedirs(os.path.dirname(os.path.join(tree, name)), exist_ok=True)
            with open(os.path.join(tree, name), "w") as f:
                f.write("".join(f'#include "{i}"\n' for i in includes))
        r = self.run_tool(os.path.join(TESTS, "include_loops_test.py"), tree)
        return r.returncode, r.stdout.decode()

    def editor_case(self, lines, status=0, writes=True):
        """e2e.save_adds_ini_extension on an editor that says LINES."""
        fake = self.write("wine-run", FAKE_EDITOR_CASE.encode())
        os.chmod(fake, 0o755)
        work = os.path.join(self.dir, "work")
        case = os.path.join(work, "save_adds_ini_extension")
        W = "Z:" + case.replace("/", "\\")
        said = "\n".join(lines).replace("W", W).encode() + b"\n"
        content = b"[History]\r\nCount=5\r\n" + b"".join(
            b'Entry%d="SELECT %d;"\r\n' % (i, i) for i in range(1, 6))
        env = dict(UTF8, FAKE_TRANSCRIPT=self.write("transcript", said), FAKE_STATUS=str(status),
                   FAKE_CONTENT=self.write("saved.ini", content),
                   FAKE_WRITES=os.path.join(case, "bare.ini") if writes else "")
        r = subprocess.run(["sh", os.path.join(TESTS, "e2e", "editor_case.sh"),
                            "save_adds_ini_extension", fake, "editor.exe", self.dir, work],
                           capture_output=True, env=env)
        return r.returncode, r.stdout.decode("utf-8", "replace")

    def round_trip(self, save=0, load=0):
        build = os.path.join(self.dir, "a build")
        os.makedirs(build)
        fake = os.path.join(build, "wine-run")
        with open(fake, "w") as f:
            f.write(FAKE_ROUND_TRIP)
        os.chmod(fake, 0o755)
        env = dict(UTF8, FAKE_SAVE=str(save), FAKE_LOAD=str(load))
        r = subprocess.run([os.path.join(TOOLS, "round-trip.sh"), build, self.dir],
                           capture_output=True, env=env)
        return r.returncode, r.stdout.decode("utf-8", "replace")

    def runtime(self, command, native=False):
        """tools/win32-runtime.sh in a copy of tools/ whose path holds a comma, on
        FAKE_EMULATOR's guest, or NATIVE: on a kernel said to run 32-bit programs."""
        tools = os.path.join(self.dir, "a,tree", "tools")
        shutil.copytree(TOOLS, tools)
        fails = b"#!/bin/sh\nexit 1\n"  # natively, no guest may start
        if native:
            self.write(os.path.join(tools, "needs-guest"), fails)
        os.chmod(self.write("qemu-system-x86_64", fails if native else FAKE_EMULATOR), 0o755)
        env = dict(UTF8, HISTORY_FORCE_GUEST="1", HISTORY_GUEST="", HISTORY_GUEST_CACHE=self.dir,
                   PATH=self.dir + os.pathsep + os.environ["PATH"])
        # An image built before, where tools/vm/image-dir looks.
        subprocess.run(["sh", "-c", 'i=$("$0"); mkdir "$i" && touch "$i/root.img" "$i/built"',
                        os.path.join(tools, "vm", "image-dir")], env=env, check=True)
        r = subprocess.run([os.path.join(tools, "win32-runtime.sh"),
                            'echo "in the guest: [$HISTORY_GUEST]"; ' + command],
                           capture_output=True, env=env)
        return r.returncode, (r.stdout + r.stderr).decode("latin-1")

    def install_deps(self):
        """tools/install-deps.sh on a PATH without the tools it installs; the
        package manager's calls, less the packages this machine's files decide."""
        for tool in ("dirname", "id", "grep"):
            os.symlink(shutil.which(tool), os.path.join(self.dir, tool))
        for tool, does in (("apt-get", 'echo "apt-get $*" >>calls'), ("dpkg", '[ "$1" != -s ]'),
                           ("locale", 'printf "%s.utf8\\n" en_US pl_PL ru_RU ja_JP hi_IN')):
            os.chmod(self.write(tool, f"#!/bin/sh\n{does}\n".encode()), 0o755)
        r = subprocess.run([shutil.which("bash"), os.path.join(TOOLS, "install-deps.sh")],
                           capture_output=True, cwd=self.dir,
                           env=dict(UTF8, PATH=self.dir, HISTORY_FORCE_GUEST="1"))
        with open(os.path.join(self.dir, "calls")) as f:
            said = re.sub(r" (googletest|libgtest-dev|python3-pefile|fonts-wine)\b", "", f.read())
        return r.returncode, (r.stdout + r.stderr).decode() + said

    def faults_runner(self):
        """tools/faults.py in a tree of its own, on a fault its test sees, one whose text
        is gone, one whose text is there twice, and the first again, there once undone."""
        tree = os.path.join(self.dir, "tree")
        shutil.copytree(TOOLS, os.path.join(tree, "tools"))
        for name, text in (
                ("CMakeLists.txt", "cmake_minimum_required(VERSION 3.21)\nproject(p NONE)\n"
                 "enable_testing()\nadd_test(NAME t COMMAND grep -qx good ${CMAKE_SOURCE_DIR}/f)"),
                ("CMakePresets.json", '{"version": 3, "configurePresets": [{"name": "default",'
                 ' "binaryDir": "build"}], "buildPresets": [{"name": "default",'
                 ' "configurePreset": "default"}]}'),
                ("f", "good\nsame\nsame\n"),
                ("tools/faults.txt", "good\tf\tgood\tbad\tt\ngone\tf\tnowhere\t\tt\n"
                 "twice\tf\tsame\tx\tt\nundone\tf\tgood\tbad\tt\n")):
            self.write(os.path.join(tree, name), text.encode())
        subprocess.run(["git", "init", "-q", tree], check=True)
        os.chmod(self.write("xvfb-run", b'#!/bin/sh\nshift\nexec "$@"\n'), 0o755)  # no display
        r = self.run_tool(os.path.join(tree, "tools", "faults.py"), "--no-suite",
                          env=dict(UTF8, PATH=self.dir + os.pathsep + os.environ["PATH"]))
        return r.returncode, r.stdout.decode()

    SAVED = ['editor version 1.51.22, ANSI code page 1252', 'step: save W\\bare',
             'service: ExportHistory("W\\bare.ini")',
             'status: Saved 5 history entries to W\\bare.ini', 'OnCall -> 1', 'step: quit']

    def test_each_check_fails_on_its_fault_and_passes_without(self):
        saved = self.SAVED
        table = [  # what is fed to which check, the exit status wanted, what it must say
            ("two modules including each other", lambda: self.include_loops(
                {"a.h": ["b.h"], "a.cpp": ["a.h"], "b.h": ["a.h"]}), 1, "include loop: a, b"),
            ("three modules in a ring", lambda: self.include_loops(
                {"x/a.h": ["b.h"], "x/b.h": ["c.h"], "x/c.h": ["a.h"]}), 1,
             "include loop: x/a, x/b, x/c"),
            ("modules without a loop", lambda: self.include_loops(
                {"a.h": ["b.h"], "b.h": [], "a.cpp": ["a.h", "b.h"]}), 0, "no include loop"),
            ("a case the editor passed", lambda: self.editor_case(saved), 0,
             "PASS save_adds_ini_extension"),
            ("an editor that crashed at its end", lambda: self.editor_case(saved, status=5), 1,
             "FAILED: the editor ended with status 5, not 0"),
            ("a status line with more than was expected", lambda: self.editor_case(
                [l + " and more" if l.startswith("status: ") else l for l in saved]), 1,
             "MISSING: status: Saved 5 history entries to"),
            ("a plug-in result with more than a number", lambda: self.editor_case(
                [l + " 2" if l.startswith("OnCall") else l for l in saved]), 1,
             "DIFFERS: results handed back to the plug-in"),
            ("a save that wrote no file", lambda: self.editor_case(saved, writes=False), 1,
             "MISSING: bare.ini with the 5 entries"),
            ("a round trip that went well", lambda: self.round_trip(), 0,
             "Restored history is identical: yes (1 entries)"),
            ("a saving editor that crashed at its end", lambda: self.round_trip(save=5), 1,
             "Editor 1 ended with status 5, not 0"),
            ("a loading editor that crashed at its end", lambda: self.round_trip(load=5), 1,
             "Editor 2 ended with status 5, not 0"),
            ("several packages missing", self.install_deps, 0, "apt-get update -qq\napt-get install"
             " -y -qq --no-install-recommends g++-mingw-w64-i686 binutils-mingw-w64-i686 cmake"
             " ninja-build clang libclang-rt-14-dev xvfb xauth xdotool osslsigncode openssl wine"
             " wine32:i386 locales debootstrap qemu-system-x86 e2fsprogs\n"),
            ("faults whose text is gone or there twice, and one undone", self.faults_runner, 1,
             "stale: gone: its text is not in f\nstale: twice: its text is 2 times in f\n"
             "Faults caught: 2 of 4 (0 missed, 2 stale)"),
            ("a command failing in the guest", lambda: self.runtime("exit 3"), 3, "guest: [1]"),
            ("a command passing in the guest", lambda: self.runtime("true"), 0, "guest: [1]"),
            ("bytes outside ASCII back from the guest", lambda: self.runtime(
                r"printf 'caf\351 \305\201\n'"), 0, "caf\xe9 \xc5\x81\n"),
            ("a command failing natively", lambda: self.runtime("exit 3", True), 3, "guest: []"),
            ("a command passing natively", lambda: self.runtime("true", True), 0, "guest: []"),
        ]
        for name, check, status, says in table:
            with self.subTest(name):
                shutil.rmtree(self.dir)
                os.mkdir(self.dir)
                got, out = check()
                self.assertEqual(got, status, out)
                self.assertIn(says, out)


if __name__ == "__main__":
    unittest.main(verbosity=2)
