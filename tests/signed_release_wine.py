#!/usr/bin/python3
"""The signed libraries of a release load, install and run their command as
the unsigned ones do: signs a release with a throwaway certificate, unpacks
its archive and runs the GoogleTest suites of installing, commands and the
library's life cycle on the signed copies under Wine.
  signed_release_wine.py WINE_RUN PLUGIN_TESTS_EXE DIST WORK_FOLDER"""

import os
import re
import shutil
import subprocess
import sys
import zipfile

import pefile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import signing_identity  # noqa: E402

RELEASE = os.path.join(os.path.dirname(HERE), "tools", "release.py")
LIBRARIES = ["Pellor.dll", "Dravik.dll"]
PER_LIBRARY_SUITES = ["Installing", "Command", "Uninstalled", "Lifecycle"]
FILTER = ":".join([f"Library/{suite}.*" for suite in PER_LIBRARY_SUITES] + ["BothLibraries.*"])


def signed_release(dist, work):
    """The folder holding the archive's signed libraries, unpacked."""
    keys = os.path.join(work, "keys")
    os.makedirs(keys)
    authority = signing_identity.Authority(keys)
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
    for name in LIBRARIES:
        pe = pefile.PE(os.path.join(signed, name), fast_load=True)
        if pe.OPTIONAL_HEADER.DATA_DIRECTORY[4].Size == 0:
            raise SystemExit(f"FAIL: {name} in the signed release carries no signature")
        verified = subprocess.run(["osslsigncode", "verify", "-in", os.path.join(signed, name),
                                   "-CAfile", authority.pem], capture_output=True, text=True)
        if verified.returncode != 0:
            raise SystemExit(f"FAIL: {name}: the signature does not verify:\n{verified.stdout}")
    return signed


def missing_suites(output):
    """Suites that did not pass for a library: a filter that matched less
    than it should must not pass as a run."""
    passed = set(re.findall(r"^\[       OK \] (\S+) ", output, re.MULTILINE))
    missing = [f"{suite} for {name}" for suite in PER_LIBRARY_SUITES for name in ("Pellor", "Dravik")
               if not any(t.startswith(f"Library/{suite}.") and t.endswith("/" + name)
                          for t in passed)]
    if not any(t.startswith("BothLibraries.") for t in passed):
        missing.append("BothLibraries")
    return missing


def main(wine_run, plugin_tests, dist, work):
    shutil.rmtree(work, ignore_errors=True)
    signed = signed_release(dist, work)
    run = subprocess.run([wine_run, plugin_tests, f"--gtest_filter={FILTER}", signed],
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                         errors="replace")
    print(run.stdout)
    if run.returncode != 0:
        print(f"FAIL: the signed libraries did not behave as the unsigned ones "
              f"(plugin_tests exit status {run.returncode})")
        return 1
    missing = missing_suites(run.stdout)
    if missing:
        print(f"FAIL: these cases never ran on the signed libraries: {', '.join(missing)}")
        return 1
    print(f"Signed libraries from {signed} passed: {FILTER}")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
