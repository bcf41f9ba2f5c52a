#!/usr/bin/env python3
"""Which fault entries name tests of the given test files, so that a change to
those tests is checked against exactly the faults that rely on them.

  affected.py tests/widget/HistoryTest.cpp ... [--rev REV]

Prints, per table, the entries whose test filter selects a test defined in the
files (as they are now, and at REV if given, so renamed tests count too), as
ready-made --only arguments."""
import glob, json, os, re, shlex, subprocess, sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TEST = re.compile(r"^\s*(?:TEST|TEST_F|TEST_P)\((\w+),\s*(\w+)\)", re.M)


def names(text):
    return {"%s.%s" % m for m in TEST.findall(text)}


def main():
    args, rev = sys.argv[1:], None
    if "--rev" in args:
        i = args.index("--rev")
        rev = args[i + 1]
        del args[i:i + 2]
    tests = set()
    for f in args:
        path = os.path.join(ROOT, f)
        if os.path.exists(path):
            tests |= names(open(path).read())
        if rev:
            r = subprocess.run(["git", "-C", ROOT, "show", "%s:%s" % (rev, f)], capture_output=True, text=True)
            tests |= names(r.stdout)
    for table in sorted(glob.glob(os.path.join(ROOT, "tools/faults/*.json"))):
        hits = []
        for e in json.load(open(table)):
            words = shlex.split(e["tests"])
            filters = [re.compile(words[i + 1]) for i, w in enumerate(words[:-1]) if w == "-R"]
            if any(r.search(t) for r in filters for t in tests):
                hits.append(e["name"])
        if hits:
            print(os.path.relpath(table, ROOT) + ": " + " ".join("--only " + shlex.quote(n) for n in hits))


if __name__ == "__main__":
    main()
