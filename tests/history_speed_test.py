#!/usr/bin/python3
"""The speed benchmark's verdict (bench/history_speed.py), fed transcripts
that must pass and transcripts with the faults it exists to catch: a goal
missed, a save, a load or a step that failed, a size never measured or
measured fewer times one way than the other."""

import os
import subprocess
import sys
import tempfile

REPORT = os.path.join(os.path.dirname(__file__), "..", "bench", "history_speed.py")
SIZES = ["1000", "10000", "100000"]


def transcript(load_ms=1200.0, save_ms=500.0, sizes=(1000, 10000, 100000), extra=b"",
               ended=b"editor exit status: 0\n"):
    out = b""
    for n in sizes:
        out += (b"timing: ExportHistory %d entries: format and write %.1f ms, total %.1f ms\n"
                % (n, save_ms * n / 100000, save_ms * n / 100000))
        out += b"OnCall -> 1\n"
        out += (b"timing: ImportHistory %d entries: read and parse 1.0 ms, show 1.0 ms, "
                b"total %.1f ms\n" % (n, load_ms * n / 100000))
        out += b"OnCall -> 1\n"
    files = b"".join(b"file: %d entries, %d bytes\n" % (n, 42 * n) for n in sizes)
    return out + extra + ended + files + b"machine: test\n"


def verdict(text):
    with tempfile.NamedTemporaryFile(suffix=".txt", delete=False) as f:
        f.write(text)
    try:
        run = subprocess.run([sys.executable, REPORT, f.name] + SIZES,
                             capture_output=True)
    finally:
        os.unlink(f.name)
    return run.returncode, run.stdout.decode("utf-8", "replace")


CASES = [
    ("goals met", transcript(), 0, "load and show: 1.20 s, at most 2 s: met"),
    ("load too slow", transcript(load_ms=2100), 1, "load and show: 2.10 s, at most 2 s: NOT met"),
    ("save too slow", transcript(save_ms=1001), 1, "save: 1.00 s, at most 1 s: NOT met"),
    ("a save failed", transcript(extra=b"OnCall -> 0\n"), 1, "went wrong: OnCall -> 0"),
    ("a dialog failed", transcript(extra=b"autopilot failed: the dialog did not close in time\n"),
     1, "went wrong: autopilot failed"),
    ("largest never measured", transcript(sizes=(1000, 10000)), 1, "not measured: NOT met"),
    ("the editor crashed at its end", transcript(ended=b"editor exit status: 5\n"), 1,
     "went wrong: the editor ended with status 5, not 0"),
    ("the editor's end unknown", transcript(ended=b""), 1, "exit status is missing"),
    ("a size missing", transcript(sizes=(10000, 100000)), 1, "1000 entries: 0 saves and 0 loads timed"),
    ("a history file never written", transcript().replace(b"file: 10000 entries, 420000",
                                                          b"file: 10000 entries, 0"), 1,
     "went wrong: 10000 entries: no history file was written"),
    ("a step went wrong", transcript(extra=b"error: step \"load\": no such file\n"), 1,
     "went wrong: error: step"),
    # Three rounds of which one load is missing: the medians would hide it.
    ("a load missing in one round", transcript(sizes=(1000, 10000, 100000) * 3).replace(
        b"timing: ImportHistory 10000 ", b"timing: ImportHistory 10001 ", 1), 1,
     "10000 entries: 3 saves and 2 loads timed"),
]


def main():
    failures = 0
    for name, text, status, says in CASES:
        got, out = verdict(text)
        if got != status or says not in out:
            failures += 1
            print(f"FAIL {name}: exit {got} (wanted {status}); wanted {says!r} in:\n{out}")
        else:
            print(f"ok   {name}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
