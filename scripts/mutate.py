#!/usr/bin/env python3
"""Plants faults one at a time into a copy of the tree and checks that the suite catches each.

The fault list (scripts/faults.txt by default) is a series of blocks separated by blank lines:

    file: records/placefile.cpp
    find: if (end < size)
    replace: if (end <= size)
    breaks: the last field of a line is dropped

`find` must occur exactly once in the file; `\\n` in find or replace stands for a line break.
Lines starting with `#` are comments.

For each fault the copy is patched, rebuilt incrementally and the suite run; then the file is
put back. A fault the compiler rejects is reported as "invalid" and counts neither way.
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


def parse_faults(text):
    faults, cur = [], {}
    for raw in text.splitlines() + [""]:
        line = raw.rstrip("\n")
        if line.startswith("#"):
            continue
        if not line.strip():
            if cur:
                faults.append(cur)
                cur = {}
            continue
        key, sep, value = line.partition(":")
        if not sep or key.strip() not in ("file", "find", "replace", "breaks"):
            raise SystemExit(f"faults: cannot read line: {line!r}")
        cur[key.strip()] = value[1:] if value.startswith(" ") else value
    for i, f in enumerate(faults, 1):
        missing = {"file", "find", "replace", "breaks"} - f.keys()
        if missing:
            raise SystemExit(f"fault {i}: missing {', '.join(sorted(missing))}")
        f["find"] = f["find"].replace("\\n", "\n")
        f["replace"] = f["replace"].replace("\\n", "\n")
    return faults


def check_faults(faults, tree):
    """Every find must stand exactly once, or the list has gone stale against the code."""
    bad = []
    for i, f in enumerate(faults, 1):
        path = tree / f["file"]
        if not path.is_file():
            bad.append(f"fault {i}: no file {f['file']}")
            continue
        n = path.read_text(encoding="utf-8").count(f["find"])
        if n != 1:
            bad.append(f"fault {i}: {f['file']}: text found {n} times: {f['find']!r}")
    return bad


def run(cmd, cwd, log, timeout):
    with open(log, "ab") as out:
        out.write(("\n$ " + " ".join(cmd) + "\n").encode())
        out.flush()
        try:
            return subprocess.run(cmd, cwd=cwd, stdout=out, stderr=subprocess.STDOUT,
                                  timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            return -1


def run_tests(cmd, cwd, log, timeout):
    """Runs ctest; returns its exit code and the names of the tests that failed."""
    with open(log, "ab") as out:
        out.write(("\n$ " + " ".join(cmd) + "\n").encode())
        try:
            done = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                  timeout=timeout)
        except subprocess.TimeoutExpired:
            return -1, ["(timeout)"]
        out.write(done.stdout)
    text = done.stdout.decode(errors="replace")
    tail = text.split("The following tests FAILED:", 1)
    failed = re.findall(r"^\s*\d+ - (\S+) \(", tail[1], re.M) if len(tail) == 2 else []
    return done.returncode, failed


def likely_tests(tree, build, fault_file, limit=3):
    """The quickest few tests whose source includes the faulty file's header, the ones named
    after it first: most faults are caught there without relinking every other test."""
    stem = Path(fault_file).stem
    found = tests_including(tree, build, stem, r'#include\s+"(?:[\w/]*/)?' + re.escape(stem) + r'\.h"')
    if not found:
        folder = Path(fault_file).parts[0]
        found = tests_including(tree, build, stem, r'#include\s+"' + re.escape(folder) + '/')
    return [name for _, _, name in sorted(found)[:limit]]


def tests_including(tree, build, stem, pattern):
    header = re.compile(pattern)
    costs = {}
    cost_file = build / "Testing" / "Temporary" / "CTestCostData.txt"
    if cost_file.is_file():
        for line in cost_file.read_text().splitlines():
            parts = line.split()
            if len(parts) == 3:
                costs[parts[0]] = float(parts[2])
    found = []
    for folder, prefix in (("tests", ""), ("qmapcontrol/tests", "qmc_")):
        for src in sorted((tree / folder).glob("tst_*.cpp")):
            if header.search(src.read_text(encoding="utf-8", errors="replace")):
                name = prefix + src.stem
                found.append((stem not in name, costs.get(name, 1.0), name))
    return found


def copy_tree(dest):
    """A copy of the tracked and untracked-but-not-ignored files, without build trees."""
    files = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=ROOT,
                           check=True, capture_output=True).stdout.decode().split("\0")
    for name in filter(None, files):
        src = ROOT / name
        if not src.is_file():
            continue
        dst = dest / name
        dst.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(src, dst)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--faults", default=str(ROOT / "scripts" / "faults.txt"))
    ap.add_argument("--work", default="/tmp/mivaromap-mutate",
                    help="where the copy and its build live (kept between runs for speed)")
    ap.add_argument("--only", type=int, nargs="*", help="run only these fault numbers")
    ap.add_argument("--check", action="store_true", help="only check the list against the tree")
    ap.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    ap.add_argument("--results", help="write each fault's verdict and failing tests here (JSON)")
    ap.add_argument("--hints", help="results of an earlier run: the tests that caught a fault "
                    "then are run first, the whole suite only if they pass")
    args = ap.parse_args()

    faults = parse_faults(Path(args.faults).read_text(encoding="utf-8"))
    bad = check_faults(faults, ROOT)
    if bad:
        print("\n".join(bad))
        return 2
    if args.check:
        print(f"{len(faults)} faults, all found once")
        return 0

    work = Path(args.work)
    tree, build, log = work / "tree", work / "build", work / "mutate.log"
    if tree.exists():
        shutil.rmtree(tree)
    tree.mkdir(parents=True)
    copy_tree(tree)
    # A run stopped half-way may have left objects built from a planted fault that are newer
    # than the restored file: every file of the list is rebuilt once.
    for f in faults:
        os.utime(tree / f["file"])
    log.write_text("")
    extra = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"] if shutil.which("ccache") else []
    # No debug information and a fast linker: a fault in the engine relinks every test.
    if shutil.which("ld.lld"):
        extra.append("-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld")
    if run(["cmake", "-S", str(tree), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
            "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG", "-DMIVAROMAP_BENCHMARKS=OFF"] + extra, work, log, 600) != 0:
        print(f"configure failed, see {log}")
        return 2
    build_cmd = ["cmake", "--build", str(build), f"-j{args.jobs}"]
    test_cmd = ["ctest", "--test-dir", str(build), f"-j{args.jobs}", "--stop-on-failure",
                "--timeout", "60"]
    os.environ["QT_QPA_PLATFORM"] = "offscreen"
    if run(build_cmd, work, log, 3600) != 0 or run(test_cmd, work, log, 1800) != 0:
        print(f"the unchanged tree does not build or pass, see {log}")
        return 2

    chosen = [(i, f) for i, f in enumerate(faults, 1) if not args.only or i in args.only]
    hints = json.loads(Path(args.hints).read_text()) if args.hints else {}
    results = {}
    caught = missed = invalid = 0
    for i, f in chosen:
        path = tree / f["file"]
        original = path.read_bytes()
        text = original.decode("utf-8")
        path.write_text(text.replace(f["find"], f["replace"], 1), encoding="utf-8")
        started = time.monotonic()
        try:
            failed = []
            # The tests that caught this fault before, or else the likeliest ones, are built and
            # run on their own first; only if they pass is the whole suite built and run.
            first = [t for t in hints.get(str(i), {}).get("failed", []) if t.startswith(("tst_", "qmc_"))]
            first = first or likely_tests(tree, build, f["file"])
            code = 0
            if first and run(build_cmd + ["--target"] + first, work, log, 3600) == 0:
                pattern = "^(" + "|".join(map(re.escape, first)) + ")$"
                code, failed = run_tests(test_cmd + ["-R", pattern], work, log, 1800)
            if code != 0:
                verdict = "caught"
            elif run(build_cmd, work, log, 3600) != 0:
                verdict = "invalid"
            else:
                code, failed = run_tests(test_cmd, work, log, 1800)
                verdict = "caught" if code != 0 else "MISSED"
            invalid += verdict == "invalid"
            caught += verdict == "caught"
            missed += verdict == "MISSED"
        finally:
            path.write_bytes(original)
        results[str(i)] = {"verdict": verdict, "file": f["file"], "breaks": f["breaks"],
                           "failed": failed}
        if args.results:
            Path(args.results).write_text(json.dumps(results, indent=1, ensure_ascii=False))
        shown = f" [{', '.join(failed)}]" if failed else ""
        print(f"{i:3} {verdict:8} {f['file']}: {f['breaks']}{shown} "
              f"({time.monotonic() - started:.0f} s)", flush=True)

    judged = caught + missed
    share = f"{100 * caught / judged:.0f}%" if judged else "-"
    print(f"{caught} caught, {missed} missed, {invalid} invalid: {share} caught")
    return 0 if missed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
