#!/usr/bin/python3
"""The signed libraries of a release load, install and run their command as
the unsigned ones do: signs a release with a throwaway certificate, unpacks
its archive and runs the GoogleTest suites of installing, commands and the
library's life cycle on the signed copies under Wine.
  signed_release_wine.py WINE_RUN PLUGIN_TESTS_EXE DIST WORK_FOLDER"""

import fnmatch
import os
import re
import shutil
import subprocess
import sys
import time
import zipfile

import pefile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import signing_identity  # noqa: E402

RELEASE = os.path.join(os.path.dirname(HERE), "tools", "release.py")
LIBRARIES = ["Pellor.dll", "Dravik.dll"]
# Loading and unloading, installing as accepted and refused, a command
# confirmed and one cancelled: what a signature appended to the file could
# break. The whole suite runs on the unsigned files (plugin.loaded_libraries).
CASES = ["Lifecycle.*", "Installing.Acceptance*", "Installing.Refusal*",
         "Command.DialogRecordHoldsEveryFieldAsSpecified",
         "Command.ConfirmedPathGoesOnceToTheVariantServiceAndItsResultBack",
         "Command.CancelReturnsZeroAndCallsNoService"]
FILTER = ":".join(f"Library/{case}/*" for case in CASES)


def signed_release(dist, work):
    """The folder holding the archive's signed libraries, unpacked."""
    keys = os.path.join(work, "keys")
    os.makedirs(keys)
    authority = signing_identity.Authority(keys, key="ec")
    p12 = authority.identity("signer", "guest passphrase")
    folder = os.path.join(work, "release")
    os.makedirs(folder)
    for name in LIBRARIES:
        shutil.copy(os.path.join(dist, name), folder)
    env = dict(os.environ, HISTORY_SIGN_PKCS12=p12,
               HISTORY_SIGN_PASSWORD_FILE=os.path.join(keys, "signer.pass"))
    env.pop("HISTORY_SIGN_PASSWORD", None)
    env.pop("HISTORY_SIGN_TIMESTAMP_URL", None)
    subprocess.run([sys.executable, RELEASE, "--dist", folder], env=env, check=True)
    signed = os.path.join(work, "signed")
    archive = [n for n in os.listdir(folder) if n.endswith("-win32.zip")][0]
    with zipfile.ZipFile(os.path.join(folder, archive)) as z:
        z.extractall(signed, LIBRARIES)
    # Whether the signatures verify is checked on the build machine
    # (release.SignedRelease); here only that they are there.
    for name in LIBRARIES:
        pe = pefile.PE(os.path.join(signed, name), fast_load=True)
        if pe.OPTIONAL_HEADER.DATA_DIRECTORY[4].Size == 0:
            raise SystemExit(f"FAIL: {name} in the signed release carries no signature")
    return signed


def missing_cases(output):
    """Cases of the filter that passed for neither or only one library: a
    filter that matched less than it should must not pass as a run."""
    passed = re.findall(r"^\[       OK \] Library/(\S+)/(\w+) ", output, re.MULTILINE)
    return [f"{case} for {name}" for case in CASES for name in ("Pellor", "Dravik")
            if not any(fnmatch.fnmatchcase(test, case) and library == name
                       for test, library in passed)]


def main(wine_run, plugin_tests, dist, work):
    shutil.rmtree(work, ignore_errors=True)
    start = time.monotonic()
    signed = signed_release(dist, work)
    print(f"Signed and unpacked the release in {time.monotonic() - start:.1f} s")
    start = time.monotonic()
    run = subprocess.run([wine_run, plugin_tests, f"--gtest_filter={FILTER}", signed],
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                         errors="replace")
    print(run.stdout)
    print(f"plugin_tests ran in {time.monotonic() - start:.1f} s")
    if run.returncode != 0:
        print(f"FAIL: the signed libraries did not behave as the unsigned ones "
              f"(plugin_tests exit status {run.returncode})")
        return 1
    missing = missing_cases(run.stdout)
    if missing:
        print(f"FAIL: these cases never ran on the signed libraries: {', '.join(missing)}")
        return 1
    print(f"Signed libraries from {signed} passed: {FILTER}")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
