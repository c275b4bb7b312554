#!/usr/bin/python3
"""A random person at the stand-in editor: seeded sequences of what a person
does (type, run, recall, undo, delete, clear, save and load through the
libraries, close and log off with each answer), played through script steps
against a small model of what the history, the statement box and the saved
files must hold. Fails at the first step where the editor and the model
differ, and prints the seed, the steps and a command that replays it.

  random_person.py [--seed S] [--count N] [--steps K] [--jobs J]
                   [--wine-run W --editor E --dist D --work DIR]

Sequence i plays seed S+i. From a built tree with no arguments but these,
it finds build/ and dist/, and starts a display and Wine when it has none.
"""

import argparse
import os
import random
import re
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
STARTING = [  # the history the editor starts with (driver/main.cpp)
    b"SELECT id, name FROM customers WHERE city = 'Oslo';",
    b"SELECT o.id, SUM(l.amount)\r\n  FROM orders o\r\n  JOIN lines l ON l.order_id = o.id\r\n GROUP BY o.id;",
    b"UPDATE settings SET value = 'a=b; [c]' WHERE key = \"mode\";",
    b"  -- kept with its spaces  ",
    b"INSERT INTO notes(text) VALUES ('caf\xe9 cr\xe8me');",
]
OLDER = [b"SELECT 'older';", b"  DELETE FROM t\r\n WHERE x = \"\\\";  "]  # old.ini
LOST = "The statement in the box has not been run: it is lost when the editor closes."
BLANK = " \t\r\n"


def escaped(data):
    """As the history file and `show` quote a statement."""
    out = bytearray(b'"')
    for b in data:
        if b in b'\\"':
            out += b"\\" + bytes([b])
        elif b in b"\n\r\t":
            out += {10: b"\\n", 13: b"\\r", 9: b"\\t"}[b]
        elif b < 0x20 or b == 0x7F:
            out += b"\\x%02X" % b
        else:
            out.append(b)
    return bytes(out + b'"')


def ansi(text):
    """The box's text as the editor shows and runs it (code page 1252)."""
    return text.encode("cp1252", errors="replace")


def step_text(data):
    """Bytes as a script step's TEXT: escapes for what a step cannot hold."""
    out = []
    for i, b in enumerate(data):
        c = chr(b)
        if c in "\\;":
            out.append("\\" + c)
        elif c in "\r\n\t":
            out.append({"\r": "\\r", "\n": "\\n", "\t": "\\t"}[c])
        elif b > 126 or b < 32 or (c == " " and i in (0, len(data) - 1)):
            out.append("\\x%02X" % b)
        else:
            out.append(c)
    return "".join(out)


def keys_for(text):
    """Typed as single keys: letters, digits and spaces by name, the rest
    as the characters themselves."""
    named = "abcdefghijklmnopqrstuvwxyz0123456789"
    return " ".join(c if c in named else "space" if c == " " else "U+%04X" % ord(c)
                    for c in text)


class Model:
    """What the editor must hold: the history and the history as last saved
    or loaded, the files saved, the statement box (text, what it held after
    the last run or recall, its one undo slot, its selection), the focus,
    the selected row and the entries deleted."""

    def __init__(self):
        self.history = list(STARTING)
        self.saved = list(STARTING)
        self.files = {"old": list(OLDER)}
        self.box = ""           # text (str: the box holds Unicode)
        self.settled = ""       # the box after the last run or recall
        self.undo = ""          # what Ctrl+Z in the box brings back; None: unknown
        self.focus = "box"      # "box", "list" or None (unknown)
        self.whole = True       # the box's text is selected (typing replaces it)
        self.row = 0            # selected history row, 0 for none
        self.deleted = []       # (number, entry), the last on top
        self.closed = False
        self.fresh = True       # the box was never changed

    def unrun(self):
        return self.box.strip(BLANK) != "" and self.box != self.settled

    def unsaved(self):
        return self.history != self.saved

    def shown(self):
        return [b"entry %d: %s" % (i, escaped(e)) for i, e in enumerate(self.history, 1)] + \
               [b"statement box: " + escaped(ansi(self.box))]

    # Changes, each as the editor makes them.
    def replace_box(self, text):  # recall and `run TEXT`: an undoable replacement
        # Put into an empty box, the text extends the box's last insertion,
        # whose undo is known only at the start.
        self.undo = self.box if self.box or self.fresh else None
        self.box, self.fresh = text, False
        self.focus, self.whole = "box", True

    def run(self):
        """Runs the box; the status line's start that says how it went."""
        try:
            data = self.box.encode("cp1252")
        except UnicodeEncodeError:
            return "status: Not run, the statement stays in its box: it holds a character"
        self.whole = True  # run or not, the text is selected
        if self.box.strip(BLANK) == "":
            return "status: Nothing to run"
        self.history.append(data)
        self.settled, self.row = self.box, len(self.history)
        return "status: Ran the statement"

    def delete(self, n):
        if not 1 <= n <= len(self.history):
            return "status: The history is empty" if not self.history else "status: There is no history entry"
        self.deleted.append((n, self.history.pop(n - 1)))
        self.row = min(n, len(self.history))
        return "status: Deleted history entry %d;" % n

    def undo_delete(self):
        if not self.deleted:
            return "status: Nothing to put back"
        n, entry = self.deleted.pop()
        n = min(n, len(self.history) + 1)
        self.history.insert(n - 1, entry)
        self.row = n
        return "status: History entry %d is back" % n

    def save(self, name, replace):
        """Saves as NAME (a file already there replaced or not as `replace`
        says); True when saved."""
        if name in self.files and not replace:
            return False
        self.files[name] = list(self.history)
        self.saved = list(self.history)
        return True

    def clear(self):
        self.history, self.deleted, self.row = [], [], 0

    def load(self, name):
        if name not in self.files:
            return "status: History not loaded"
        self.history = list(self.files[name])
        self.saved = list(self.history)
        self.deleted, self.row = [], len(self.history)
        return "status: Loaded %d history" % len(self.history)


class Person:
    """Makes one sequence: chooses each action from what the model holds,
    applies it to the model, and says what the transcript must show."""

    def __init__(self, seed, work):
        self.r = random.Random(seed)
        self.work = work
        self.m = Model()

    def path(self, name):
        return "Z:" + os.path.join(self.work, name + ".ini").replace("/", "\\")

    def statement(self):
        r = self.r
        words = r.choice(["SELECT %d;", "select %d from t", "  UPDATE t SET x = %d  ",
                          "SELECT 'caf\xe9 %d'\\;", 'SELECT "q\\\\%d";', "SELECT %d\r\n  FROM t;"])
        text = words % r.randrange(100)
        return r.choice([text] * 6 + ["   ", " \r\n\t "])

    def typed(self):
        r = self.r
        return r.choice(["select %d", "x %d", "from t where a = %d", "caf\xe9 %d", "%d;"]) % r.randrange(100) \
            if r.random() < 0.9 else "  "

    def answer(self):
        """An answer to the question asked before closing, loading or
        clearing: the script's words, and the file a Yes saves to."""
        r = self.r
        choice = r.choice(["no", "cancel", "yes", "yes NAME"])
        if choice != "yes NAME":
            return choice, None, None
        name = r.choice(["a", "b", "old"])
        if name not in self.m.files:
            return "yes " + self.path(name), name, None
        replace = r.random() < 0.8
        return "yes %s %s" % (self.path(name), "yes" if replace else "no"), name, replace

    def save(self, expect, name, replace):
        """The save dialog answered with NAME; True when saved."""
        expect.replace_asked += name in self.m.files
        saved = self.m.save(name, replace)
        expect.exports += saved
        expect.calls.append(int(saved))
        return saved

    def saved_first(self, expect, words, name, replace, question):
        """The question answered with WORDS; True when the editor goes on."""
        expect.questions = [(question, words.split(" ")[0])]
        if words in ("cancel", "yes"):
            expect.calls += [0] if words == "yes" else []  # the save dialog cancelled
            return False
        return words == "no" or self.save(expect, name, replace)

    def act(self):
        """One action: its script steps, and what they must print."""
        m, r = self.m, self.r
        weights = {
            "type": 10, "run": 12, "f5": 4, "recall": 10, "undo-box": 6, "delete": 7,
            "del-key": 2, "undo-delete": 5, "clear": 5, "save": 7, "load": 7,
            "close": 5, "letter": 2,
        }
        if m.undo is None:
            weights["undo-box"] = 0
        kind = r.choices(list(weights), list(weights.values()))[0]
        e = Expect()
        by_keys = r.random() < 0.25  # through the keys and menus, where both are offered
        if kind in ("type", "letter"):
            known = m.focus == "box" and m.whole is not None
            if kind == "type":
                text, run = self.typed(), False
                if known and not by_keys:
                    steps = ["type " + step_text(text.encode("cp1252"))]
                else:
                    steps = ["keys %s%s" % ("" if known else "alt+s ", keys_for(text))]
            else:  # a letter the code page may lack (it has the euro sign)
                text, run = r.choice(["\u0141", "\u0151", "\u20ac", "\u4e2d"]), r.random() < 0.5
                steps = ["keys %s%s%s" % ("" if known else "alt+s ", keys_for(text), " f5" if run else "")]
            if not known:
                m.whole = True
            m.box = text if m.whole else m.box + text
            m.focus, m.whole, m.undo, m.fresh = "box", False, None, False
            if run:
                e.status = m.run()
            return steps, e
        if kind == "run":
            data = self.statement().encode("cp1252")
            m.replace_box(data.decode("cp1252"))
            e.status = m.run()
            return ["run " + step_text(data)], e
        if kind == "f5":
            e.status = m.run()
            return ["keys ctrl+enter" if by_keys else "keys f5"], e
        if kind == "recall":
            if by_keys:  # Enter on the selected row
                n, step = m.row, "keys alt+i enter"
                m.focus = "list"
            else:
                n = r.randint(1, len(m.history) + 1)
                step = "recall %d" % n
            if 1 <= n <= len(m.history):
                m.replace_box(m.history[n - 1].decode("cp1252"))
                m.settled = m.box
                e.status = "status: History entry %d is back in the statement box" % n
            elif n:
                e.status = "status: The history is empty" if not m.history else "status: There is no history entry"
            return [step], e
        if kind == "undo-box":
            steps = ["keys ctrl+z" if m.focus == "box" else "keys alt+s ctrl+z"]
            m.box, m.undo = m.undo, m.box
            m.focus, m.whole = "box", None
            return steps, e
        if kind in ("delete", "del-key"):
            if kind == "delete":
                n = r.randint(1, len(m.history) + 1)
                step = "delete %d" % n
            else:  # Del on the selected row, reached by its label or by Tab
                n, step = m.row, r.choice(["keys alt+i del", "keys alt+s tab tab del"])
                m.focus = "list"
            if n:
                e.status = m.delete(n)
            return [step], e
        if kind == "undo-delete":
            step = "keys alt+i ctrl+z" if by_keys else "undo-delete"
            m.focus = "list" if by_keys else m.focus
            e.status = m.undo_delete()
            return [step], e
        if kind == "save":
            name = r.choice(["a", "b", "old"])
            m.focus = None
            if r.random() < 0.15:
                step = "cancel save"
                e.calls = [0]
            else:
                replace = r.random() < 0.8 if name in m.files else None
                step = "save " + self.path(name) + {None: "", True: " yes", False: " no"}[replace]
                self.save(e, name, replace)
            return (["answer " + step, "keys alt+p s"] if by_keys else [step]), e
        if kind in ("clear", "load"):
            steps = []
            words, name, replace = self.answer()
            go_on = True
            if m.unsaved() and m.history:
                steps.append("answer question " + words)
                doing = "clearing it" if kind == "clear" else "loading another"
                go_on = self.saved_first(e, words, name, replace, "Save the history before %s?" % doing)
            elif r.random() < 0.2:
                steps.append("answer question " + words)
                e.nothing_asked = True
            m.focus = None  # where a question or the menus leave it
            if kind == "clear":
                # Clear history is greyed in the menus on an empty history.
                by_keys = by_keys and bool(m.history)
                steps.append(r.choice(["keys alt+h c", "keys alt+i shift+f10 c"]) if by_keys else "clear")
                if go_on:
                    m.clear()
            else:
                target = r.choice(["a", "b", "old", "old", "missing"])
                cancel = r.random() < 0.15
                load = "cancel load" if cancel else "load " + self.path(target)
                steps += ["answer " + load, "keys alt+p l"] if by_keys else [load]
                if go_on:
                    e.calls.append(0)
                    if not cancel:
                        e.imports = 1
                        e.status = m.load(target)
                        e.calls[-1] = int(target in m.files)
                        e.loaded = e.calls[-1]
            return steps, e
        if kind == "close":
            how = r.choice(["close", "close", "log-off", "log-off-called-off", "keys alt+f4", "keys alt+f x"])
            if m.unsaved():
                words, name, replace = self.answer()
                m.closed = self.saved_first(e, words, name, replace, "Save the history before closing?"
                                            + ("\n\n" + LOST if m.unrun() else ""))
            elif m.unrun():
                words = r.choice(["no", "cancel"])
                e.questions = [(LOST + " Close anyway?", "ok" if words == "no" else "cancel")]
                m.closed = words == "no"
            else:
                words = r.choice(["", "", "no", "cancel"])
                e.nothing_asked = words != ""
                m.closed = True
            m.focus = None
            if how == "log-off-called-off":  # another program refused to end
                m.closed = False
            e.closed = m.closed
            e.open_said = not how.startswith("keys") or words != ""
            if how.startswith("keys"):
                return ([("answer close " + words)] if words else []) + [how], e
            return [("%s %s" % (how, words)).strip()], e
        raise AssertionError(kind)


class Expect:
    """What one action's steps must print, besides the history and box."""

    def __init__(self):
        self.status = None          # a status line starting so
        self.questions = []         # (text, answered)
        self.nothing_asked = False
        self.replace_asked = 0
        self.calls = []             # what each plug-in command returned
        self.exports = 0            # histories saved (each with its timing line)
        self.imports = 0            # ImportHistory calls
        self.loaded = 0             # histories loaded (each with its timing line)
        self.closed = False
        self.open_said = False


def transcript_steps(log):
    """The transcript cut at each step: [(step, [lines])]."""
    chunks = []
    for line in log.split(b"\n"):
        if line.startswith(b"step: "):
            chunks.append((line[6:].decode("latin-1"), []))
        elif chunks:
            chunks[-1][1].append(line)
    return chunks


def check(steps, expect, shown_then, chunks):
    """What the action's steps printed against the expectation; the reason
    they differ, or None."""
    printed = []
    for step in steps:
        if not chunks or chunks[0][0] != step:
            return "the transcript has no step %r where expected (found %r)" % (
                step, chunks[0][0] if chunks else "its end")
        printed += chunks.pop(0)[1]
    text = b"\n".join(printed)
    for bad in (b"error:", b"autopilot failed"):
        if bad in text:
            line = next(l for l in text.split(b"\n") if bad in l)
            return "unexpected: " + line.decode("cp1252", "replace")
    asked = [(q.decode("cp1252"), a.decode()) for q, a in
             re.findall(rb'^question: (".*"), answered (\w+)$', text, re.M)]
    if asked != [(escaped(q.encode("cp1252")).decode("cp1252"), a) for q, a in expect.questions]:
        return "questions asked %r, the model expects %r" % (asked, expect.questions)
    if expect.nothing_asked != (b"nothing was asked" in printed):
        return "\"nothing was asked\" %s" % (
            "missing" if expect.nothing_asked else "printed, but a question was expected")
    counted = {
        "ExportHistory": (len(re.findall(rb"^service: ExportHistory", text, re.M)), expect.exports),
        "ImportHistory": (len(re.findall(rb"^service: ImportHistory", text, re.M)), expect.imports),
        "replace questions": (len(re.findall(rb"^dialog asked: ", text, re.M)), expect.replace_asked),
        "save timings": (len(re.findall(rb"^timing: ExportHistory \d+ entries: format and write [\d.]+ ms, total [\d.]+ ms$",
                                        text, re.M)), expect.exports),
        "load timings": (len(re.findall(rb"^timing: ImportHistory \d+ entries: read and parse [\d.]+ ms, show [\d.]+ ms, total [\d.]+ ms$",
                                        text, re.M)), expect.loaded),
    }
    calls = [int(c) for c in re.findall(rb"^OnCall -> (-?\d+)$", text, re.M)]
    if calls != expect.calls:
        return "plug-in commands returned %r, the model expects %r" % (calls, expect.calls)
    for what, (seen, wanted) in counted.items():
        if seen != wanted:
            return "%s: %d, the model expects %d" % (what, seen, wanted)
    if expect.status and not any(l.startswith(expect.status.encode("cp1252")) for l in printed):
        return "no line starting %r" % expect.status
    closed = b"editor closed" in printed
    if closed != expect.closed:
        return "the editor %s" % ("closed, and the model holds it open" if closed
                                  else "is open, and the model closed it")
    if not closed and expect.open_said and b"editor still open" not in printed:
        return "\"editor still open\" missing"
    if closed:
        return "a step ran after the editor closed: %r" % chunks[0][0] if chunks else None
    if not chunks or chunks[0][0] != "show":
        return "no show after the action"
    shown = [l for l in chunks.pop(0)[1] if l.startswith((b"entry ", b"statement box: "))]
    if shown != shown_then:
        at = next((i for i, (a, b) in enumerate(zip(shown, shown_then)) if a != b),
                  min(len(shown), len(shown_then)))
        line = lambda lines: lines[at].decode("cp1252", "replace") if at < len(lines) else "(none)"
        return "show differs: the editor %r, the model %r" % (line(shown), line(shown_then))
    return None


def formatted(entries):
    """A history file's bytes, as docs/history-file.md lays them out."""
    return b"[History]\r\nCount=%d\r\n" % len(entries) + b"".join(
        b"Entry%d=%s\r\n" % (i, escaped(e)) for i, e in enumerate(entries, 1))


def run_editor(script, log_path, args, env):
    """The editor's exit status (None when it had to be ended), and what it
    printed. The transcript goes to a file: a pipe would be held open by the
    Wine services the editor starts, long after it ended."""
    with open(log_path, "wb") as log:
        try:
            status = subprocess.run(
                [args.wine_run, args.editor, "--timings", "--script", "; ".join(script),
                 os.path.join(args.dist, "Pellor.dll"), os.path.join(args.dist, "Dravik.dll")],
                stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=env,
                timeout=60).returncode
        except subprocess.TimeoutExpired:
            status = None
    with open(log_path, "rb") as log:
        return status, log.read()


def play(seed, n_steps, args, env):
    """One sequence: (seed, actions, transcript, why it failed or None).
    When the person closes the editor, it is started again, its files kept."""
    work = os.path.join(args.work, "s%d" % seed)
    os.makedirs(work, exist_ok=True)
    for name in os.listdir(work):
        os.remove(os.path.join(work, name))
    with open(os.path.join(work, "old.ini"), "wb") as f:
        f.write(formatted(OLDER))
    person = Person(seed, work)
    sessions, listed = [[]], []
    for i in range(1, n_steps + 1):
        steps, expect = person.act()
        sessions[-1].append((i, steps, expect, person.m.shown()))
        listed.append("%2d. %s" % (i, "; ".join(steps)))
        if person.m.closed:
            files, person.m = person.m.files, Model()
            person.m.files = files
            sessions.append([])
            listed.append("    (the editor starts again)")
    transcript = b""
    for number, actions in enumerate(s for s in sessions if s):
        script = [s for _, steps, _, _ in actions for s in steps + ["show"]]
        if not actions[-1][2].closed:  # else a show after closing must not run
            script.append("quit")
        status, printed = run_editor(script, os.path.join(work, "transcript%d.log" % number), args, env)
        transcript += printed
        if status == 77:
            return seed, listed, transcript, "SKIP"
        chunks = transcript_steps(printed)
        for i, steps, expect, shown in actions:
            why = check(steps, expect, shown, chunks)
            if why:
                return seed, listed, transcript, "action %d (%s): %s" % (i, "; ".join(steps), why)
        if status is None:
            return seed, listed, transcript, "the editor had not ended 60 seconds after it started"
        if status != 0:
            return seed, listed, transcript, "the editor ended with status %d, not 0" % status
    for name, entries in person.m.files.items():
        try:
            with open(os.path.join(work, name + ".ini"), "rb") as f:
                on_disk = f.read()
        except OSError as e:
            return seed, listed, transcript, "%s.ini: %s" % (name, e.strerror)
        if on_disk != formatted(entries):
            return seed, listed, transcript, "%s.ini holds %r, the model %r" % (
                name, on_disk, formatted(entries))
    return seed, listed, transcript, None


class Place:
    """Where one job's editors run: a Wine prefix with its own wineserver and
    a display of its own. Keys go to the window in front of a wineserver's
    desktop, so two editors sharing one would take each other's keys."""

    def __init__(self, args, number):
        self.env = dict(os.environ)
        self.started, self.display = [], None
        if number == 0:  # the caller's prefix and display
            if not args.fixture:
                self.start(args)
            return
        base = os.path.join(os.path.dirname(args.wine_run), "wineprefix")
        prefix = "%s-person%d" % (base, number)
        if not os.path.isdir(prefix):  # linked to the first: made in a second
            subprocess.run(["cp", "-al", base, prefix + ".new"], check=True)
            for reg in ("system.reg", "user.reg", "userdef.reg"):  # rewritten by Wine
                subprocess.run(["cp", "--remove-destination", os.path.join(base, reg),
                                os.path.join(prefix + ".new", reg)], check=True)
            os.rename(prefix + ".new", prefix)
        read, write = os.pipe()
        self.display = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
            pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as r:
            self.env["DISPLAY"] = ":" + r.readline().strip()
        self.env["HISTORY_WINEPREFIX"] = prefix
        self.start(args)

    def start(self, args):
        subprocess.run([args.wine_run, "--start"], env=self.env, check=True)
        self.started = [args.wine_run, "--stop"]

    def close(self):
        if self.started:
            subprocess.run(self.started, env=self.env)
        if self.display:
            self.display.terminate()
            self.display.wait(10)


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--count", type=int, default=100)
    p.add_argument("--steps", type=int, default=15)
    p.add_argument("--jobs", type=int, default=4)
    p.add_argument("--wine-run", default=os.path.join(ROOT, "build", "wine-run"))
    p.add_argument("--editor", default=os.path.join(ROOT, "build", "stand_in_editor.exe"))
    p.add_argument("--dist", default=os.path.join(ROOT, "dist"))
    p.add_argument("--work", default=os.path.join(ROOT, "build", "tests", "e2e", "random_person"))
    p.add_argument("--fixture", action="store_true",
                   help="a wineserver is kept up by the caller (ctest's wine fixture)")
    args = p.parse_args()
    if not os.environ.get("DISPLAY"):  # one command from a shell: a display of its own
        os.execvp("xvfb-run", ["xvfb-run", "-a", sys.executable, os.path.abspath(__file__)]
                  + sys.argv[1:])
    args.work = os.path.abspath(args.work)
    args.wine_run = os.path.abspath(args.wine_run)
    started = time.monotonic()
    seeds = list(range(args.seed, args.seed + args.count))
    lock = threading.Lock()
    results = []

    def job(number):
        place = Place(args, number)
        try:
            while True:
                with lock:
                    if not seeds:
                        return
                    seed = seeds.pop(0)
                result = play(seed, args.steps, args, place.env)
                with lock:
                    results.append(result)
        finally:
            place.close()

    threads = [threading.Thread(target=job, args=(n,)) for n in range(max(1, min(args.jobs, args.count)))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    took = time.monotonic() - started
    results.sort(key=lambda r: r[0])
    skipped = [r for r in results if r[3] == "SKIP"]
    failures = [r for r in results if r[3] and r[3] != "SKIP"]
    if skipped:
        sys.stdout.buffer.write(skipped[0][2])
        print("NOT RUN: no 32-bit runtime for Wine here")
        return 77
    if len(results) != args.count:
        print("FAILED: %d of %d sequences were played" % (len(results), args.count))
        return 1
    for seed, script, log, why in failures[:1]:
        print("--- transcript of seed %d" % seed)
        sys.stdout.buffer.write(log)
        print("--- seed %d: each action, then show" % seed)
        for s in script:
            print("  " + s)
    print("%d sequences of %d actions (seeds %d to %d) in %.1f s" % (
        args.count, args.steps, args.seed, args.seed + args.count - 1, took))
    for seed, _, _, why in failures:
        print("FAILED seed %d: %s" % (seed, why))
    if failures:
        print("replay, in %s: tests/e2e/random_person.py --seed %d --count 1%s" % (
            ROOT, failures[0][0], "" if args.steps == 15 else " --steps %d" % args.steps))
        return 1
    print("PASS: the editor kept what the model holds, at every step")
    return 0


if __name__ == "__main__":
    sys.exit(main())
