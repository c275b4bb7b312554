#!/usr/bin/python3
"""Reads the stand-in editor's transcripts, which hold its ANSI bytes.

  transcript.py installs LOG [NAME...]
                                      did the libraries (by file name; by
                                      default Pellor.dll and Dravik.dll)
                                      install and take this editor?
  transcript.py history SAVED LOADED FILE
                                      did the history come back whole?
  transcript.py show FILE [LOG]       FILE readable on a UTF-8 terminal,
                                      decoded by LOG's (or FILE's) code page

Verdicts compare bytes, never text, and exit 1 with the reason when they
fail. `installs` exits 0 when every library accepted an editor it must
accept, and 3 when every library refused an editor older than they need,
as they must: there is then nothing to save or load. A library named that
never installed (not loaded, or not a plug-in) fails either way."""

import os
import re
import sys

MINIMUM = (1, 51, 22)
LIBRARIES = ("Pellor.dll", "Dravik.dll")
VERSION = re.compile(rb"^editor version (-?\d+)\.(-?\d+)\.(-?\d+)(?:, ANSI code page (\d+))?$")
INSTALLED = re.compile(rb"^installed (.*): (accepted|refused)")
ENTRY = re.compile(rb"^entry (\d+): (.*)$", re.S)
COUNT = re.compile(rb"^Count=(\d+)\r?$")


def lines(path):
    with open(path, "rb") as f:
        return f.read().split(b"\n")


def must_accept(version):
    """The libraries' rule, as a comparison of version triples."""
    return version[0] >= 1 and version >= MINIMUM


def dotted(version):
    return ".".join(str(n) for n in version)


def version_of(log):
    for line in lines(log):
        m = VERSION.match(line)
        if m:
            return tuple(int(n) for n in m.groups()[:3]), m.group(4)
    return None, None


def file_name(path):
    """The last part of a Windows or Linux path, for comparing as Windows
    compares file names: without regard to case."""
    return re.split(rb"[\\/:]", path)[-1].lower()


def installs(log, *names):
    version, _ = version_of(log)
    if version is None:
        return 1, f"{log}: the editor never said its version; it did not start"
    matches = [m for m in map(INSTALLED.match, lines(log)) if m]
    installed = {file_name(m.group(1)) for m in matches}
    missing = [n for n in names or LIBRARIES if os.fsencode(n).lower() not in installed]
    if missing:
        said = [line.decode(errors="replace") for line in lines(log)
                if line.startswith(b"status: cannot load")]
        return 1, (f"{', '.join(missing)} never installed"
                   + (f" ({'; '.join(said)})" if said else ""))
    outcomes = [(m.group(1).decode(errors="replace"), m.group(2)) for m in matches]
    wanted = b"accepted" if must_accept(version) else b"refused"
    wrong = [name for name, outcome in outcomes if outcome != wanted]
    if wrong:
        how = "refused" if wanted == b"accepted" else "accepted"
        need = ("which they must accept" if wanted == b"accepted"
                else f"which is older than {dotted(MINIMUM)}")
        return 1, f"{', '.join(wrong)} {how} editor {dotted(version)}, {need}"
    if wanted == b"refused":
        return 3, (f"Every library refused editor {dotted(version)}, as it must"
                   f" (older than {dotted(MINIMUM)}): nothing to save or load.")
    return 0, f"Every library accepted editor {dotted(version)}."


def shown_entries(log):
    """The entry lines of the last `show` step, as bytes."""
    shows, current = [], None
    for line in lines(log):
        if line.startswith(b"step: "):
            current = [] if line == b"step: show" else None
            if current is not None:
                shows.append(current)
        elif current is not None and line.startswith(b"entry "):
            current.append(line)
    return shows[-1] if shows else None


def history(saved_log, loaded_log, file):
    saved, loaded = shown_entries(saved_log), shown_entries(loaded_log)
    if saved is None or loaded is None:
        return 1, f"{saved_log if saved is None else loaded_log}: the history was never shown"
    for log, entries in ((saved_log, saved), (loaded_log, loaded)):
        numbers = [int(ENTRY.match(e).group(1)) for e in entries]
        if numbers != list(range(1, len(entries) + 1)):
            return 1, f"{log}: entries are not numbered 1 to {len(entries)}"
    try:
        counts = [int(m.group(1)) for m in map(COUNT.match, lines(file)) if m]
    except OSError as e:
        return 1, f"the history file was not written: {e.strerror}"
    if not saved:
        return 1, "the editor that saved showed no entries: nothing was compared"
    if len(counts) != 1 or counts[0] != len(saved):
        return 1, (f"the file says Count={counts[0] if counts else '(none)'}, "
                   f"but {len(saved)} entries were saved")
    if len(loaded) != len(saved):
        return 1, f"{len(saved)} entries were saved, {len(loaded)} came back"
    for a, b in zip(saved, loaded):
        if a != b:
            number = ENTRY.match(a).group(1).decode()
            return 1, (f"entry {number} differs: saved {ENTRY.match(a).group(2)!r},"
                       f" loaded {ENTRY.match(b).group(2)!r}")
    return 0, f"Restored history is identical: yes ({len(saved)} entries)"


def show(file, log=None):
    _, page = version_of(log or file)
    codec = f"cp{page.decode()}" if page else "cp1252"
    with open(file, "rb") as f:
        text = f.read().decode(codec, errors="backslashreplace")
    sys.stdout.buffer.write(text.encode("utf-8"))
    sys.stdout.flush()
    return 0, None


def main(argv):
    # Each command's function and its least and most arguments.
    commands = {"installs": (installs, 1, None), "history": (history, 3, 3),
                "show": (show, 1, 2)}
    if len(argv) < 2 or argv[1] not in commands:
        print(__doc__, file=sys.stderr)
        return 2
    function, least, most = commands[argv[1]]
    args = argv[2:]
    if len(args) < least or (most is not None and len(args) > most):
        print(__doc__, file=sys.stderr)
        return 2
    status, message = function(*args)
    if message:
        print(message if status in (0, 3) else f"NO: {message}")
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
