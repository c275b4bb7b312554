#!/usr/bin/python3
"""Runs ctest with the arguments given and fails unless every test it
selected ran and passed: ctest itself ends green when a test was skipped,
disabled, or when nothing matched at all, and none of those is a pass.
Names each test that did not run and what it printed about why.
  ctest-strict.py [CTEST ARGUMENTS...]"""

import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET


def not_run(report):
    """(name, reason) of each selected test that did not run, and the count."""
    suite = ET.parse(report).getroot()
    missed = []
    for case in suite.iter("testcase"):
        if case.get("status") == "run" or case.get("status") == "fail":
            continue
        out = (case.findtext("system-out") or "").strip().splitlines()
        skipped = case.find("skipped")
        why = out[-1] if out else (skipped.get("message") if skipped is not None else "")
        missed.append((case.get("name"), f"{case.get('status')}: {why}"))
    return missed, int(suite.get("tests", "0"))


def main(args):
    ctest = os.environ.get("CTEST", "ctest")
    with tempfile.TemporaryDirectory() as tmp:
        report = os.path.join(tmp, "ctest.xml")
        status = subprocess.call([ctest, *args, "--output-junit", report])
        if not os.path.exists(report):
            print("ctest-strict: ctest wrote no report; nothing is known to have run",
                  file=sys.stderr)
            return status or 1
        missed, count = not_run(report)
    if count == 0:
        print("ctest-strict: no test was selected, so nothing was tested", file=sys.stderr)
        return 1
    for name, why in missed:
        print(f"ctest-strict: {name} did not run ({why})", file=sys.stderr)
    if missed:
        print(f"ctest-strict: {len(missed)} of {count} tests did not run: not a pass",
              file=sys.stderr)
        return status or 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
