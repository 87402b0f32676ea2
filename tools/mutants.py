#!/usr/bin/env python3
"""Plants each fault of tools/mutants.txt in a scratch copy of the tree, runs
the fast suite and says whether the suite caught it.

    tools/mutants.py [--work DIR] [--jobs N] [--only K,...] [--exclude REGEX]

The scratch copy (DIR/src, built in DIR/build) is made from the files git
tracks, as they are in the working tree; the real tree is never touched.
Exit code: 0 when every fault was caught, 1 otherwise, 2 on a broken set-up.
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TEST_ENV = dict(os.environ, QT_QPA_PLATFORM="offscreen", SDL_AUDIODRIVER="dummy")


def read_mutants(path):
    mutants, current = [], {}
    for line in open(path, encoding="utf-8"):
        line = line.rstrip("\n")
        if not line.strip():
            if current.get("to") is not None:
                mutants.append(current)
            current = {}
            continue
        tag, text = line[:1], line[2:]
        if tag == "#":
            current["why"] = text
        elif tag == "@":
            current["file"] = text
        elif tag == "-":
            current["from"] = text
        elif tag == "+":
            current["to"] = text
    if current.get("to") is not None:
        mutants.append(current)
    return [m for m in mutants if "file" in m and "from" in m]


def run(cmd, cwd, env=None, log=None):
    with open(log, "a") if log else open(os.devnull, "w") as out:
        return subprocess.run(cmd, cwd=cwd, env=env, stdout=out, stderr=subprocess.STDOUT).returncode


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--work", default=os.path.join(ROOT, "build-mutants"))
    ap.add_argument("--jobs", default="2")
    ap.add_argument("--only", default="", help="1-based numbers, comma-separated")
    ap.add_argument("--exclude", default="package|real_program|Soak|Hostile",
                    help="ctest -E: the slow end-to-end tests stay out of the fast suite")
    args = ap.parse_args()

    mutants = read_mutants(os.path.join(ROOT, "tools", "mutants.txt"))
    src, build = os.path.join(args.work, "src"), os.path.join(args.work, "build")
    log = os.path.join(args.work, "mutants.log")
    os.makedirs(args.work, exist_ok=True)
    open(log, "w").close()

    # A fresh copy of what git tracks, so an earlier run's fault never lingers.
    files = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, capture_output=True, check=True).stdout
    shutil.rmtree(src, ignore_errors=True)
    for f in filter(None, files.decode().split("\0")):
        if not os.path.isfile(os.path.join(ROOT, f)):
            continue
        os.makedirs(os.path.dirname(os.path.join(src, f)), exist_ok=True)
        shutil.copy2(os.path.join(ROOT, f), os.path.join(src, f))

    ctest = ["ctest", "-j", args.jobs, "--stop-on-failure", "--timeout", "300", "-E", args.exclude]
    if run(["cmake", "-S", src, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo"], ROOT, log=log) \
            or run(["cmake", "--build", build, "-j", args.jobs], ROOT, log=log) \
            or run(ctest, build, TEST_ENV, log):
        print(f"the unchanged tree does not build or pass; see {log}", file=sys.stderr)
        return 2

    only = {int(k) for k in args.only.split(",") if k}
    counts = {"caught": 0, "MISSED": 0, "stale": 0, "does not build": 0}
    for n, m in enumerate(mutants, 1):
        if only and n not in only:
            continue
        path = os.path.join(src, m["file"])
        original = open(path, encoding="utf-8").read()
        if original.count(m["from"]) != 1:
            verdict = "stale"
        else:
            open(path, "w", encoding="utf-8").write(original.replace(m["from"], m["to"]))
            started = time.time()
            if run(["cmake", "--build", build, "-j", args.jobs], ROOT, log=log):
                verdict = "does not build"
            else:
                verdict = "caught" if run(ctest, build, TEST_ENV, log) else "MISSED"
            open(path, "w", encoding="utf-8").write(original)
            os.utime(path)
            verdict_time = f" ({time.time() - started:.0f} s)"
        counts[verdict] += 1
        print(f"{n:3} {verdict:14} {m['file']}: {m.get('why', '')}"
              + (verdict_time if verdict in ("caught", "MISSED") else ""), flush=True)
    run(["cmake", "--build", build, "-j", args.jobs], ROOT, log=log)
    print(", ".join(f"{v} {k}" for k, v in counts.items()))
    return 0 if counts["MISSED"] == counts["stale"] == counts["does not build"] == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
