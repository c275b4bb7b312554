#!/usr/bin/python3
"""A random person at the stand-in editor: seeded sequences of what a person
does (type, run, recall, undo, delete, clear, save and load through the
libraries, close and log off with each answer, keys and menus), played
through script steps against a model of the history, the statement box and
the saved files. Fails at the first action where the editor and the model
differ, and prints the seed, the actions and the command that replays it.

  random_person.py [--seed S] [--count N] [--steps K] [--jobs J]
                   [--wine-run W --editor E --dist D --work DIR] [--fixture]

Sequence i plays seed S+i; seeds 1 to 4 begin with the sequences in PLANS. Run from a built tree with none of the second
line, it starts a display and Wine of its own when it has none."""

import argparse
import glob
import os
import random
import re
import shutil
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
OLDER = [b"SELECT 'older';", b"  DELETE FROM t\r\n WHERE x = \"\\\";  "]  # old.ini, there first
LOST = "The statement in the box has not been run: it is lost when the editor closes."
REPLACED = "The statement in the box has not been run: it is lost if it is replaced. Replace it?"
# Sequences that once lost work, played first: two recalls over a typed
# statement, typing after a recall, load or clear after deleting everything.
PLANS = [["type", "recall", "recall"], ["type", "recall", "type", "recall"],
         ["delete"] * 5 + ["load"], ["delete"] * 5 + ["clear"]]


def escaped(data):
    """As the history file and the transcript quote a statement."""
    special = {0x5C: b"\\\\", 0x22: b'\\"', 10: b"\\n", 13: b"\\r", 9: b"\\t"}
    return b'"' + b"".join(special.get(b) or (b"\\x%02X" % b if b < 32 or b == 127 else bytes([b]))
                           for b in data) + b'"'


def formatted(entries):
    """A history file's bytes (docs/history-file.md)."""
    return b"[History]\r\nCount=%d\r\n" % len(entries) + b"".join(
        b"Entry%d=%s\r\n" % (i, escaped(e)) for i, e in enumerate(entries, 1))


def step_text(data):
    """Bytes as a step's TEXT; a step's own spaces at its ends are trimmed."""
    return "".join("\\" + chr(b) if b in b"\\;" else "\\r" if b == 13 else "\\n" if b == 10
                   else "\\t" if b == 9 else "\\x%02X" % b if b > 126 or (b == 32 and i in (0, len(data) - 1))
                   else chr(b) for i, b in enumerate(data))


def keys_for(text):
    """Text as single keys: letters, digits and spaces by name, the rest
    as characters (U+HHHH)."""
    return " ".join(c if c.isascii() and c.isalnum() and c.islower() or c.isdigit()
                    else "space" if c == " " else "U+%04X" % ord(c) for c in text)


class Expect:
    """What an action's steps must print, besides what `show` shows."""
    def __init__(self):
        self.status, self.questions, self.nothing_asked = None, [], False
        self.services, self.calls = [], []  # ("Export"/"Import", file), each command's result
        self.saved, self.loaded, self.replace_asked = 0, 0, 0
        self.closed = self.open_said = False


class Person:
    """Chooses each action from the model, applies it to the model, and
    says what the transcript must show. The model: the history and the
    history as last saved or loaded, the files, the statement box (its text,
    its text after the last run or recall, its one undo, its selection),
    the focus, the selected row, the entries deleted."""

    def __init__(self, seed, work, plan=()):
        self.r, self.work, self.plan = random.Random(seed), work, list(plan)
        self.kept = []  # (history, statement) a session kept when it ended without waiting
        self.fresh_session({"old": list(OLDER)})

    def fresh_session(self, files):
        self.history, self.saved, self.files = list(STARTING), list(STARTING), files
        self.box = self.settled = self.undo = ""  # undo None: not known
        self.fresh, self.focus, self.whole, self.row = True, "box", True, 0
        self.deleted, self.closed = [], False
        self.draft = None  # what the person typed and has not run or let go
        self.offered = False

    def path(self, name):
        """NAME as typed in a dialog: with ".ini" or without, which the
        dialog adds (when loading, only to a file that is there)."""
        self.ini = self.r.random() < 0.5
        return "Z:" + os.path.join(self.work, name).replace("/", "\\") + ".ini" * self.ini

    def unrun(self):
        return self.box.strip(" \t\r\n") != "" and self.box != self.settled

    def lost(self):
        """The rule, apart from how the editor keeps it: a statement the
        person typed is in the box or one Ctrl+Z away, unless they agreed."""
        if self.draft is not None and self.draft not in (self.box, self.undo):
            return "the statement typed, %r, is gone and nothing asked" % self.draft
        return None

    def may_replace(self, e, steps, text):
        """Before a recall or `run TEXT`: a statement typed and not run is
        replaced by another only once the person agrees. False when they
        do not."""
        if not self.unrun() or self.box == text:
            return True
        words = self.r.choice(["no", "cancel"])
        steps.insert(len(steps) - 1, "answer question " + words)
        e.questions = [(REPLACED, "ok" if words == "no" else "cancel")]
        e.open_said = steps[-1].startswith("keys")
        if words == "no":
            self.draft = None  # agreed
            return True
        self.focus = None
        e.status = "status: Not %s: the statement is still in its box" % ("run" if steps[-1].startswith("run") else "recalled")
        return False

    def offer(self, e):
        """The first step of a session after one that kept work: the oldest
        kept is offered; OK brings it back unsaved, Cancel keeps it."""
        self.offered, (history, statement) = True, self.kept[0]
        what = ", and ".join(x for x in [
            history is not None and "the history, %d entr%s, not saved" % (len(history), "y" if len(history) == 1 else "ies"),
            statement is not None and "a statement not run"] if x)
        ok = self.r.random() < 0.7
        e.questions = [("The last session ended without waiting, and the editor kept %s.\n\n"
                        "OK brings it back; Cancel keeps it for the next start." % what, "ok" if ok else "cancel")]
        e.status = "status: Brought back" if ok else "status: Kept for the next start"
        if ok:
            self.kept.pop(0)
            if history is not None:
                self.history, self.deleted, self.row = list(history), [], len(history)
            if statement is not None:
                self.box, self.undo, self.draft, self.fresh = statement, "", statement, False
        self.focus = None  # after a question
        return ["kept ok" if ok else "kept cancel"], e

    def shown(self):
        return [b"entry %d: %s" % (i, escaped(e)) for i, e in enumerate(self.history, 1)] + \
               [b"statement box: " + escaped(self.box.encode("cp1252", "replace"))]

    def replace_box(self, text, e):
        """Recall and `run TEXT` replace the box undoably. Into an empty box
        the text extends the box's last insertion, known only at the start.
        After a question the focus is not known: Wine without a window
        manager may not give it back."""
        self.undo = self.box if self.box or self.fresh else None
        self.box, self.fresh, self.whole = text, False, True
        self.focus = None if e.questions else "box"

    def run(self):
        try:
            data = self.box.encode("cp1252")
        except UnicodeEncodeError:
            return "status: Not run, the statement stays in its box: it holds a character"
        self.whole = True
        if not self.box.strip(" \t\r\n"):
            return "status: Nothing to run"
        self.history.append(data)
        self.settled, self.row, self.draft = self.box, len(self.history), None
        return "status: Ran the statement"

    def save(self, e, name, replace):
        """The save dialog given NAME; True when saved."""
        e.replace_asked += name in self.files
        ok = replace is not False
        e.calls.append(int(ok))
        if ok:
            self.files[name], self.saved = list(self.history), list(self.history)
            e.services.append(("Export", name + ".ini"))
            e.saved += 1
        return ok

    def load(self, e, go_on, cancel, target):
        if go_on and cancel:
            e.calls.append(0)
        elif go_on:
            e.services.append(("Import", target + ".ini" * (self.ini or target in self.files)))
            e.calls.append(int(target in self.files))
            if target in self.files:
                self.history, self.saved = list(self.files[target]), list(self.files[target])
                self.deleted, self.row, e.loaded = [], len(self.history), 1
                e.status = "status: Loaded %d history" % len(self.history)
            else:
                e.status = "status: History not loaded"

    def answer(self):
        """An answer to the editor's question: words, and the file a Yes saves to."""
        words, name = self.r.choice(["no", "cancel", "yes", "yes NAME"]), self.r.choice(["a", "b", "old"])
        if words != "yes NAME":
            return words, None, None
        replace = self.r.random() < 0.8 if name in self.files else None
        return "yes " + self.path(name) + {None: "", True: " yes", False: " no"}[replace], name, replace

    def asked(self, e, words, name, replace, question):
        """The question answered with WORDS; True when the editor goes on."""
        e.questions = [(question, words.split(" ")[0])]
        if words in ("cancel", "yes"):
            e.calls += [0] * (words == "yes")  # the save dialog cancelled
            return False
        return words == "no" or self.save(e, name, replace)

    def act(self):
        """One action: its script steps and what they must print."""
        r, e = self.r, Expect()
        weights = {"type": 10, "run": 12, "f5": 4, "recall": 10, "undo-box": 6 * (self.undo is not None),
                   "delete": 7, "del-key": 2, "undo-delete": 5, "clear": 5, "save": 7, "load": 7,
                   "close": 5, "letter": 2, "log-off-now": 2}
        if not self.offered:
            self.offered = True
            if self.kept:
                return self.offer(e)
        planned = bool(self.plan)  # by step, on entry 1, typing something
        kind = self.plan.pop(0) if planned else r.choices(list(weights), list(weights.values()))[0]
        by_keys = r.random() < 0.25 and not planned  # keys and menus, where a step does it too
        if kind in ("type", "letter"):
            known = self.focus == "box" and self.whole is not None
            text = r.choice(["select %d", "x %d", "from t where a = %d", "caf\xe9 %d", "%d;"]) % r.randrange(100)
            text, run = (text if r.random() < 0.9 or planned else "  ", False) if kind == "type" else \
                (r.choice(["\u0141", "\u0151", "\u20ac", "\u4e2d"]), r.random() < 0.5)  # the code page has only €
            if kind == "type" and known and not by_keys:
                steps = ["type " + step_text(text.encode("cp1252"))]
            else:
                steps = ["keys " + "alt+s " * (not known) + keys_for(text) + " f5" * run]
            self.box = text if self.whole or not known else self.box + text
            self.focus, self.whole, self.undo, self.fresh = "box", False, None, False
            self.draft = self.box if self.unrun() else None
            e.status = run and self.run() or None
            return steps, e
        if kind == "run":
            data = r.choice([b"SELECT %d;", b"select %d from t", b"  UPDATE t SET x = %d  ", b"SELECT 'caf\xe9 %d';",
                             b'SELECT "q\\%d";', b"SELECT %d\r\n  FROM t;", b"   ", b" \r\n\t "])
            data = data % r.randrange(100) if b"%" in data else data
            steps = ["run " + step_text(data)]
            if self.may_replace(e, steps, data.decode("cp1252")):
                self.replace_box(data.decode("cp1252"), e)
                e.status = self.run()
            return steps, e
        if kind == "f5":
            e.status = self.run()
            return ["keys ctrl+enter" if by_keys else "keys f5"], e
        if kind in ("recall", "delete", "del-key"):
            if by_keys or kind == "del-key":  # on the selected row, reached by its label or by Tab
                n = self.row
                step = "keys " + ("alt+i enter" if kind == "recall" else r.choice(["alt+i del", "alt+s tab tab del"]))
                self.focus = "list"
            else:
                n = 1 if planned else r.randint(1, len(self.history) + 1)
                step = "%s %d" % (kind, n)
            steps = [step]
            if n and n > len(self.history):
                e.status = "status: There is no history entry" if self.history else "status: The history is empty"
            elif n and kind == "recall":
                if self.may_replace(e, steps, self.history[n - 1].decode("cp1252")):
                    self.replace_box(self.history[n - 1].decode("cp1252"), e)
                    self.settled = self.box
                    e.status = "status: History entry %d is back in the statement box" % n
            elif n:
                self.deleted.append((n, self.history.pop(n - 1)))
                self.row = min(n, len(self.history))
                e.status = "status: Deleted history entry %d;" % n
            return steps, e
        if kind == "undo-box":
            steps = ["keys " + "alt+s " * (self.focus != "box") + "ctrl+z"]
            self.box, self.undo, self.focus, self.whole = self.undo, self.box, "box", None
            self.draft = self.box if self.unrun() else None  # the person's own change
            return steps, e
        if kind == "undo-delete":
            if self.deleted:
                n, entry = self.deleted.pop()
                n = min(n, len(self.history) + 1)
                self.history.insert(n - 1, entry)
                self.row, e.status = n, "status: History entry %d is back" % n
            else:
                e.status = "status: Nothing to put back"
            self.focus = "list" if by_keys else self.focus
            return ["keys alt+i ctrl+z" if by_keys else "undo-delete"], e
        if kind == "save":
            name, self.focus = r.choice(["a", "b", "old"]), None
            if r.random() < 0.15:
                step, e.calls = "cancel save", [0]
            else:
                replace = r.random() < 0.8 if name in self.files else None
                step = "save " + self.path(name) + {None: "", True: " yes", False: " no"}[replace]
                self.save(e, name, replace)
            return (["answer " + step, "keys alt+p s"] if by_keys else [step]), e
        if kind in ("clear", "load"):
            words, name, replace = self.answer()
            steps, go_on, self.focus = [], True, None
            # Unsaved work: the entries, or those deleted, which Undo
            # delete would put back.
            if self.history != self.saved and (self.history or self.deleted):
                steps.append("answer question " + words)
                doing = "clearing it" if kind == "clear" else "loading another"
                go_on = self.asked(e, words, name, replace, "Save the history before %s?" % doing)
            elif r.random() < 0.2:
                steps.append("answer question " + words)
                e.nothing_asked = True
            if kind == "clear":  # greyed in the menus on an empty history
                steps.append(r.choice(["keys alt+h c", "keys alt+i shift+f10 c"]) if by_keys and self.history else "clear")
                if go_on:
                    self.history, self.deleted, self.row = [], [], 0
            else:
                target, cancel = r.choice(["a", "b", "old", "old", "missing"]), r.random() < 0.15
                load = "cancel load" if cancel else "load " + self.path(target)
                steps += ["answer " + load, "keys alt+p l"] if by_keys else [load]
                self.load(e, go_on, cancel, target)
            # Keys given an answer say whether the editor is still open.
            e.open_said = steps[0].startswith("answer question") and steps[-1].startswith("keys")
            return steps, e
        if kind == "log-off-now":  # asks nothing; keeps what is not saved or run
            work = (list(self.history) if self.history != self.saved else None, self.box if self.unrun() else None)
            if work != (None, None):
                self.kept.append(work)
                e.status = "status: The session ended without waiting: what was not saved is kept in"
            self.closed = e.closed = True
            return [kind], e
        # Close, in every way, with every answer.
        how = r.choice(["close", "close", "log-off", "log-off-called-off", "keys alt+f4", "keys alt+f x"])
        if self.history != self.saved:
            words, name, replace = self.answer()
            self.closed = self.asked(e, words, name, replace,
                                     "Save the history before closing?" + ("\n\n" + LOST) * self.unrun())
        elif self.unrun():
            words = r.choice(["no", "cancel"])
            e.questions = [(LOST + " Close anyway?", "ok" if words == "no" else "cancel")]
            self.closed = words == "no"
        else:
            words = r.choice(["", "", "no", "cancel"])
            e.nothing_asked, self.closed = words != "", True
        self.closed = self.closed and how != "log-off-called-off"  # another program refused to end
        self.focus, e.closed, e.open_said = None, self.closed, not how.startswith("keys") or words != ""
        if how.startswith("keys"):
            return ["answer close " + words] * (words != "") + [how], e
        return [(how + " " + words).strip()], e


def transcript_steps(log):
    """The transcript cut at each step: [(step, [lines])]."""
    chunks = []
    for line in log.split(b"\n"):
        if line.startswith(b"step: "):
            chunks.append((line[6:].decode("latin-1"), []))
        elif chunks:
            chunks[-1][1].append(line)
    return chunks


def check(steps, e, shown, chunks, work):
    """What the steps printed against what the model expects: why they
    differ, or None."""
    printed = []
    for step in steps:
        if not chunks or chunks[0][0] != step:
            return "the transcript has no step %r here (found %r)" % (step, chunks[0][0] if chunks else "its end")
        printed += chunks.pop(0)[1]
    text = b"\n".join(printed)
    found = lambda pattern: re.findall(pattern, text, re.M)
    bad = found(rb"^.*(?:error:|autopilot failed).*$")
    if bad:
        return "unexpected: " + bad[0].decode("cp1252", "replace")
    asked = [(q.decode("cp1252"), a.decode()) for q, a in found(rb'^question: (".*"), answered (\w+)$')]
    wanted = [(escaped(q.encode("cp1252")).decode("cp1252"), a) for q, a in e.questions]
    if asked != wanted:
        return "asked %s; the model: %s" % tuple("; ".join("%s, answered %s" % q for q in x) or "nothing"
                                                 for x in (asked, wanted))
    win = lambda name: ("Z:" + os.path.join(work, name).replace("/", "\\")).encode()
    counts = {
        "\"nothing was asked\"": (len(found(rb"^nothing was asked$")), int(e.nothing_asked)),
        "services": (found(rb'^service: (\w+)History\("(.*)"\)$'), [(k.encode(), win(n)) for k, n in e.services]),
        "plug-in results": ([int(c) for c in found(rb"^OnCall -> (-?\d+)$")], e.calls),
        "replace questions": (len(found(rb"^dialog asked: ")), e.replace_asked),
        "save timings": (len(found(rb"^timing: ExportHistory \d+ entries: format and write [\d.]+ ms, total [\d.]+ ms$")), e.saved),
        "load timings": (len(found(rb"^timing: ImportHistory \d+ entries: read and parse [\d.]+ ms, show [\d.]+ ms, total [\d.]+ ms$")), e.loaded),
        "\"editor closed\"": (len(found(rb"^editor closed$")), int(e.closed)),
        "\"editor still open\"": (len(found(rb"^editor still open$")), int(e.open_said and not e.closed)),
    }
    for what, (seen, model) in counts.items():
        if seen != model:
            return "%s: %r; the model: %r" % (what, seen, model)
    if e.status and not any(l.startswith(e.status.encode("cp1252")) for l in printed):
        return "no line starting %r" % e.status
    if e.closed:
        return "a step ran after the editor closed: %r" % chunks[0][0] if chunks else None
    lines = [l for l in chunks.pop(0)[1] if l.startswith((b"entry ", b"statement box: "))] if chunks else []
    for editor, model in zip(lines + [b"(nothing)"] * len(shown), shown + [b"(nothing)"] * len(lines)):
        if editor != model:
            return "shown %s; the model: %s" % (editor.decode("cp1252", "replace"), model.decode("cp1252", "replace"))
    return None


def kept_in(prefix, *inside):
    """The editor's folder for work kept when a session ended, in a prefix."""
    return glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Local",
                                  "Stand-in SQL editor", "Recovered work", *inside))


def clear_kept(prefix):
    for folder in kept_in(prefix):
        shutil.rmtree(folder)


def play(seed, n_steps, args, place):
    """One sequence: (seed, actions, transcript, why it failed or None).
    Closed by the person, the editor starts again, the files kept."""
    work = os.path.join(args.work, "s%d" % seed)
    os.makedirs(work, exist_ok=True)
    for name in os.listdir(work):
        os.remove(os.path.join(work, name))
    with open(os.path.join(work, "old.ini"), "wb") as f:
        f.write(formatted(OLDER))
    clear_kept(place.prefix)
    plan = PLANS[seed - 1] if 1 <= seed <= len(PLANS) else ()
    person, sessions, listed = Person(seed, work, plan), [[]], []
    # At least 20 s; on a slower machine, 12 starts of an editor there, still
    # below the 40 s a step waiting on takes in the emulated guest.
    limit = max(20, 12 * place.pace)
    for i in range(1, n_steps + 1):
        steps, e = person.act()
        sessions[-1].append((i, steps, e, person.shown()))
        listed.append("%2d. %s" % (i, "; ".join(steps)))
        if person.lost():
            return seed, listed, b"", "action %d: %s" % (i, person.lost())
        if person.closed:
            person.fresh_session(person.files)
            sessions.append([])
            listed.append("    (the editor starts again)")
    transcript = b""
    for number, actions in enumerate(s for s in sessions if s):
        script = [s for _, steps, _, _ in actions for s in steps + ["show"]] + ["quit"] * (not actions[-1][2].closed)
        log_path = os.path.join(work, "transcript%d.log" % number)
        # To a file: the Wine services the editor starts would hold a pipe.
        started = time.monotonic()
        with open(log_path, "wb") as log:
            try:
                status = subprocess.run(
                    [args.wine_run, args.editor, "--timings", "--script", "; ".join(script),
                     os.path.join(args.dist, "Pellor.dll"), os.path.join(args.dist, "Dravik.dll")],
                    stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=place.env,
                    timeout=3 * limit).returncode
            except subprocess.TimeoutExpired:
                status = "no end within %.0f s" % (3 * limit)
        with open(log_path, "rb") as log:
            printed = log.read()
        transcript += printed
        if status == 77:
            return seed, listed, transcript, "SKIP"
        chunks = transcript_steps(printed)
        for i, steps, e, shown in actions:
            why = check(steps, e, shown, chunks, work)
            if why:
                return seed, listed, transcript, "action %d (%s): %s" % (i, "; ".join(steps), why)
        if status != 0:
            return seed, listed, transcript, "the editor ended with status %s, not 0" % status
        # A few seconds: a step that waits on (a keys step after the editor
        # closed, a dialog never answered) shows here.
        if time.monotonic() - started > limit:
            return seed, listed, transcript, "the editor took %.0f s" % (time.monotonic() - started)
    left = kept_in(place.prefix, "*")
    if len(left) != len(person.kept):
        return seed, listed, transcript, "%d folders of kept work; the model: %d" % (len(left), len(person.kept))
    files = sorted(n for n in os.listdir(work) if not n.startswith("transcript"))
    if files != sorted(n + ".ini" for n in person.files):
        return seed, listed, transcript, "files %s; the model: %s" % (files, sorted(person.files))
    for name, entries in person.files.items():
        with open(os.path.join(work, name + ".ini"), "rb") as f:
            if f.read() != formatted(entries):
                return seed, listed, transcript, "%s.ini is not %r" % (name, formatted(entries))
    return seed, listed, transcript, None


class Place:
    """Where one job's editors run: a Wine prefix (with its wineserver) and a
    display of its own. Keys go to the window in front of a wineserver's
    desktop: two editors sharing one would take each other's keys."""

    def __init__(self, args, number):
        self.env, self.display, self.stop = dict(os.environ), None, None
        # The prefix wine-run uses: the build's, or the one it is given
        # (the guest's, made with its image).
        base = os.environ.get("HISTORY_WINEPREFIX") or os.path.join(os.path.dirname(args.wine_run), "wineprefix")
        self.prefix = "%s-person%d" % (base, number) if number else base
        if number:
            prefix = self.prefix
            if not os.path.isdir(prefix):  # the first's files linked, its registry copied
                subprocess.run(["rm", "-rf", prefix + ".new"], check=True)
                subprocess.run(["cp", "-al", base, prefix + ".new"], check=True)
                for reg in ("system.reg", "user.reg", "userdef.reg"):
                    subprocess.run(["cp", "--remove-destination", os.path.join(base, reg),
                                    os.path.join(prefix + ".new", reg)], check=True)
                os.rename(prefix + ".new", prefix)
            read, write = os.pipe()
            self.display = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            os.close(write)
            with os.fdopen(read) as r:
                self.env.update(DISPLAY=":" + r.readline().strip(), HISTORY_WINEPREFIX=prefix)
        if number or not args.fixture:
            subprocess.run([args.wine_run, "--start"], env=self.env, check=True)
            self.stop = [args.wine_run, "--stop"]
        # This place's pace: an editor that starts and quits. An emulated CPU
        # is several times slower, and each editor run is bounded by it.
        started = time.monotonic()
        subprocess.run([args.wine_run, args.editor, "--script", "quit"], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        self.pace = time.monotonic() - started

    def close(self):
        if self.stop:
            subprocess.run(self.stop, env=self.env)
        if self.display:
            self.display.terminate()
            self.display.wait(10)


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--seed", type=int, default=1)
    # In the emulated guest a sequence takes several times longer.
    p.add_argument("--count", type=int, default=12 if os.environ.get("HISTORY_GUEST") else 100)
    p.add_argument("--steps", type=int, default=15)
    p.add_argument("--jobs", type=int, default=os.cpu_count() if os.environ.get("HISTORY_GUEST") else 4)
    p.add_argument("--wine-run", default=os.path.join(ROOT, "build", "wine-run"))
    p.add_argument("--editor", default=os.path.join(ROOT, "build", "stand_in_editor.exe"))
    p.add_argument("--dist", default=os.path.join(ROOT, "dist"))
    p.add_argument("--work", default=os.path.join(ROOT, "build", "tests", "e2e", "random_person"))
    p.add_argument("--fixture", action="store_true", help="the caller keeps a wineserver up (ctest's wine fixture)")
    args = p.parse_args()
    if not os.environ.get("DISPLAY"):
        os.execvp("xvfb-run", ["xvfb-run", "-a", sys.executable, os.path.abspath(__file__)] + sys.argv[1:])
    args.work, args.wine_run = os.path.abspath(args.work), os.path.abspath(args.wine_run)
    started, seeds, results, lock = time.monotonic(), list(range(args.seed, args.seed + args.count)), [], threading.Lock()

    first = Place(args, 0)  # ready before the others copy its prefix

    def job(number):
        place = Place(args, number) if number else first
        try:
            while True:
                with lock:
                    if not seeds:
                        return
                    seed = seeds.pop(0)
                results.append(play(seed, args.steps, args, place))
                clear_kept(place.prefix)  # other tests share the first prefix
        finally:
            place.close()

    threads = [threading.Thread(target=job, args=(n,)) for n in range(max(1, min(args.jobs, args.count)))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    results.sort(key=lambda result: result[0])
    if any(why == "SKIP" for _, _, _, why in results):
        print("NOT RUN: Wine cannot run 32-bit programs here")
        return 77
    failures = [result for result in results if result[3]]
    for seed, listed, log, why in failures[:1]:
        print("--- transcript of seed %d" % seed)
        sys.stdout.buffer.write(log)
        print("--- seed %d: each action, then show\n  %s" % (seed, "\n  ".join(listed)))
    print("%d sequences of %d actions (seeds %d to %d) in %.1f s" % (
        len(results), args.steps, args.seed, args.seed + args.count - 1, time.monotonic() - started))
    for seed, _, _, why in failures:
        print("FAILED seed %d: %s" % (seed, why))
    if failures:
        print("replay, in %s: tests/e2e/random_person.py --seed %d --count 1%s" % (
            ROOT, failures[0][0], " --steps %d" % args.steps if args.steps != 15 else ""))
    elif len(results) == args.count:
        print("PASS: the editor kept what the model holds, at every step")
    return 1 if failures or len(results) != args.count else 0


if __name__ == "__main__":
    sys.exit(main())
