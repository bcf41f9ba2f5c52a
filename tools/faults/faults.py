#!/usr/bin/env python3
"""Deliberate-fault check: plants one fault at a time in a private copy of the
tree, rebuilds the named targets and runs the named tests; a fault is caught
when a test fails (or the build breaks a test target, reported apart).

  faults.py FAULTS.json --work DIR [--only NAME ...] [--tests-from REV]

FAULTS.json is a list of {"name", "file", "old", "new", "build": "native"|"win",
"targets": [...], "tests": "ctest -R regex"}. "old" must occur exactly once.
--tests-from REV takes tests/ from a git revision (the suite before a cut)."""
import argparse, json, os, shutil, subprocess, sys, time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def run(cmd, cwd=None, env=None, timeout=None):
    return subprocess.run(cmd, cwd=cwd, env=env, shell=isinstance(cmd, str), timeout=timeout,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)


def sync(work, tests_from):
    src = os.path.join(work, "src")
    os.makedirs(src, exist_ok=True)
    # By content, and without the sources' times: a file that changed gets a new
    # time, so objects built from an older copy are never taken as up to date.
    run(["rsync", "-rlpD", "--checksum", "--delete", "--exclude", "/build/", "--exclude", "/.git/", ROOT + "/", src + "/"])
    if tests_from:
        shutil.rmtree(os.path.join(src, "tests"))
        os.makedirs(os.path.join(src, "tests"))
        arch = subprocess.run(["git", "-C", ROOT, "archive", tests_from, "tests"], stdout=subprocess.PIPE, check=True)
        subprocess.run(["tar", "-x", "-C", src], input=arch.stdout, check=True)
    return src


def win_arch():
    """i686, or x86_64 where the kernel runs no 32-bit code (as scripts/wine-env decides)."""
    try:
        ok = subprocess.run(["/usr/lib/wine/wine", "--version"], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL).returncode == 0
    except OSError:
        ok = False
    return "i686" if ok else "x86_64"


def configure(src, work, kind):
    b = os.path.join(work, "build-" + kind)
    if kind == "native":
        args = ["-DORVANTA_NATIVE=ON", "-DCMAKE_CXX_COMPILER=g++", "-DCMAKE_C_COMPILER=gcc", "-DCMAKE_BUILD_TYPE=Debug"]
    else:
        # The test build's loopback hosts, so the program's own tests run too.
        args = ["-DCMAKE_TOOLCHAIN_FILE=%s/cmake/mingw-%s.cmake" % (src, win_arch()), "-DCMAKE_BUILD_TYPE=Release",
                "-DORVANTA_COUNTER_HOST=127.0.0.1:29780", "-DORVANTA_MAKER_HOST=127.0.0.1:29781"]
    r = run(["cmake", "-S", src, "-B", b] + args)
    if r.returncode:
        sys.exit("configure failed:\n" + r.stdout[-3000:])
    return b


def wine_env(src, b):
    """A private display and prefix for the Windows tests, started once."""
    script = ('. "%s/scripts/wine-env" && orvanta_start_display >/dev/null && '
              'orvanta_start_wine "%s/wineprefix" && export ORVANTA_XVFB_PID && env -0' % (src, b))
    r = subprocess.run(["bash", "-c", script], stdout=subprocess.PIPE, text=True)
    env = dict(os.environ)
    for item in r.stdout.split("\0"):
        if "=" in item:
            k, v = item.split("=", 1)
            env[k] = v
    return env


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("faults")
    ap.add_argument("--work", required=True)
    ap.add_argument("--only", action="append", help="an entry's name; may be given again")
    ap.add_argument("--tests-from")
    a = ap.parse_args()
    faults = json.load(open(a.faults))
    # A fault whose anchor has gone would plant nothing and prove nothing: the
    # whole table is refused before anything is built.
    stale = [f["name"] for f in faults
             if open(os.path.join(ROOT, f["file"])).read().count(f["old"]) != 1] if not a.tests_from else []
    if stale:
        sys.exit("faults: the old text of these entries does not occur exactly once: " + "; ".join(stale))
    if a.only:
        unknown = set(a.only) - {f["name"] for f in faults}
        if unknown:
            sys.exit("faults: no such entry: " + "; ".join(sorted(unknown)))
        faults = [f for f in faults if f["name"] in a.only]
    src = sync(a.work, a.tests_from)
    builds, envs = {}, {}
    caught = missed = broken = 0
    for f in faults:
        kind = f.get("build", "win")
        if kind not in builds:
            builds[kind] = configure(src, a.work, kind)
            if kind == "win":
                run(["cmake", "--build", builds[kind], "-j2", "--target", "DesktopHold"])
                envs[kind] = wine_env(src, builds[kind])
            else:
                envs[kind] = dict(os.environ)
        b = builds[kind]
        path = os.path.join(src, f["file"])
        text = open(path).read()
        if text.count(f["old"]) != 1:
            sys.exit("faults: %s: the old text occurs %d times" % (f["name"], text.count(f["old"])))
        targets = f.get("targets", [])
        # Build the clean targets first, so a fault's build failure is the fault's.
        run(["cmake", "--build", b, "-j2", "--target"] + targets)
        open(path, "w").write(text.replace(f["old"], f["new"]))
        try:
            r = run(["cmake", "--build", b, "-j2", "--target"] + targets)
            if r.returncode:
                broken += 1
                print("BUILD %-40s (the fault does not compile: fix the table)" % f["name"])
                continue
            t0 = time.time()
            # The Windows tests share the test build's fixed loopback ports, so
            # runs on one machine take turns.
            lock = "flock /tmp/orvanta-wine.lock " if kind == "win" else ""
            r = run("%sctest --test-dir %s %s --timeout 240" % (lock, b, f["tests"]), env=envs[kind], timeout=1800)
            verdict = "caught" if r.returncode else "MISSED"
            caught += r.returncode != 0
            missed += r.returncode == 0
            print("%-6s %-40s %.0fs" % (verdict, f["name"], time.time() - t0), flush=True)
        finally:
            open(path, "w").write(text)
            os.utime(path, None)
    if "win" in builds:
        run(["bash", "-c", 'export WINEPREFIX="%s/wineprefix"; wineserver -k' % builds["win"]])
        if envs["win"].get("ORVANTA_XVFB_PID"):
            run(["kill", envs["win"]["ORVANTA_XVFB_PID"]])
    print("faults: %d caught, %d missed, %d did not build" % (caught, missed, broken))


if __name__ == "__main__":
    main()
