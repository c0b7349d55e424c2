#!/usr/bin/env python3
"""Times unclash against the system-call floor of the same walk.

Builds the trees (empty files), then for each one alternates runs of
unclash, the floor program (bench/floor.cc: getdents64 on every directory,
with -r one renameat2 per file) and `find DIR -type f`, and prints medians,
the ratios the project aims for, and unclash's peak memory. Every run that
renames gets a fresh hard-linked copy of its tree (cp -al), made outside
the timed region.

  bench/compare.py --unclash build/unclash --floor build/bench/floor \\
      [--files 1000000 --dirs 10000 --flat 1000000 --same 50000 --runs 3]
"""
import argparse
import os
import random
import statistics
import subprocess
import sys
import time

STEMS = ["IMG_", "DSC", "doc-", "file", "Report_", "scan", "track", "notes.v", "x"]
EXTS = [".txt", ".jpg", ".JPG", ".dat", ".log", ".tar.gz", "", ".c", ".h", ".md", "."]


def touch_all(directory, names):
    fd = os.open(directory, os.O_RDONLY | os.O_DIRECTORY)
    try:
        for name in names:
            os.close(os.open(name, os.O_CREAT | os.O_EXCL | os.O_WRONLY, 0o644, dir_fd=fd))
    finally:
        os.close(fd)


def random_tree(root, files, dirs, collide, seed=1, depth=4):
    """`dirs` directories below root; `files` files spread over all of them,
    round(collide * files) of which repeat a name from another directory."""
    rng = random.Random(seed)
    rel, level, parents = [""], [0], [0]
    for i in range(1, dirs + 1):
        parent = parents[rng.randrange(len(parents))]
        rel.append(os.path.join(rel[parent], "d%x" % i))
        level.append(level[parent] + 1)
        if level[-1] < depth:
            parents.append(i)
    colliders = round(collide * files)
    unique = files - colliders
    names = ["%s%x%s" % (rng.choice(STEMS), i, rng.choice(EXTS)) for i in range(unique)]
    per_dir = [[] for _ in rel]
    home = []
    for name in names:
        d = rng.randrange(len(rel))
        home.append(d)
        per_dir[d].append(name)
    taken = [set(p) for p in per_dir]
    for _ in range(colliders):
        while True:
            donor = rng.randrange(unique)
            d = rng.randrange(len(rel))
            if d != home[donor] and names[donor] not in taken[d]:
                break
        per_dir[d].append(names[donor])
        taken[d].add(names[donor])
    os.makedirs(root)
    for r in rel[1:]:
        os.mkdir(os.path.join(root, r))
    for r, batch in zip(rel, per_dir):
        touch_all(os.path.join(root, r), batch)


def flat_tree(root, files, seed=1):
    rng = random.Random(seed)
    os.makedirs(root)
    touch_all(root, ["%s%x%s" % (rng.choice(STEMS), i, rng.choice(EXTS)) for i in range(files)])


def same_name_tree(root, count):
    """`count` directories each holding "a.txt", in groups of about sqrt(count)."""
    fan = max(1, int(count ** 0.5))
    os.makedirs(root)
    for i in range(count):
        group = os.path.join(root, "g%04x" % (i // fan))
        if i % fan == 0:
            os.mkdir(group)
        leaf = os.path.join(group, "d%04x" % (i % fan))
        os.mkdir(leaf)
        touch_all(leaf, ["a.txt"])


def timed(command):
    """Wall seconds and peak resident MiB of one run; output discarded. The
    command runs under GNU time, whose own small footprint is all that a
    measure of the child's peak picks up besides the command itself."""
    report = os.path.join(os.environ.get("TMPDIR", "/tmp"), "unclash-bench-time.%d" % os.getpid())
    start = time.perf_counter()
    with open(os.devnull, "wb") as sink:
        code = subprocess.call(["/usr/bin/time", "-f", "%M", "-o", report] + command,
                               stdout=sink, stderr=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    if code not in (0, 1):
        sys.exit("%s exited with %d" % (" ".join(command), code))
    with open(report) as f:
        kib = int(f.read().split()[-1])
    os.unlink(report)
    return elapsed, kib / 1024.0


def fresh_copy(tree, work):
    copy = os.path.join(work, "copy")
    subprocess.run(["rm", "-rf", copy], check=True)
    subprocess.run(["cp", "-al", tree, copy], check=True)
    return copy


def measure(args, tree, renames):
    """Medians over alternating runs. With `renames`, unclash and floor -r
    get a fresh copy for every run; the list-only floor and find run on the
    tree itself."""
    work = args.work
    runs = {"unclash": [], "floor": [], "floor_r": [], "find": []}
    peak = 0.0
    for _ in range(args.runs):
        target = fresh_copy(tree, work) if renames else tree
        seconds, mib = timed([args.unclash, target])
        runs["unclash"].append(seconds)
        peak = max(peak, mib)
        runs["floor"].append(timed([args.floor, tree])[0])
        runs["find"].append(timed(["find", tree, "-type", "f"])[0])
        if renames:
            runs["floor_r"].append(timed([args.floor, "-r", fresh_copy(tree, work)])[0])
    result = {k: statistics.median(v) for k, v in runs.items() if v}
    result["peak"] = peak
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--unclash", required=True)
    parser.add_argument("--floor", required=True)
    parser.add_argument("--work", default="/tmp/unclash-bench")
    parser.add_argument("--files", type=int, default=1000000)
    parser.add_argument("--dirs", type=int, default=10000)
    parser.add_argument("--collide", type=float, default=0.1)
    parser.add_argument("--flat", type=int, default=1000000)
    parser.add_argument("--same", type=int, default=50000)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--keep", action="store_true", help="keep the trees for the next call")
    args = parser.parse_args()
    args.unclash = os.path.abspath(args.unclash)
    args.floor = os.path.abspath(args.floor)
    os.makedirs(args.work, exist_ok=True)

    def tree(name, build):
        path = os.path.join(args.work, name)
        if not os.path.isdir(path):
            print("building %s ..." % name, file=sys.stderr, flush=True)
            build(path)
        return path

    colliding = tree("random-%d-%d-%g" % (args.files, args.dirs, args.collide),
                     lambda p: random_tree(p, args.files, args.dirs, args.collide))
    unique = tree("unique-%d-%d" % (args.files, args.dirs),
                  lambda p: random_tree(p, args.files, args.dirs, 0.0, seed=2))
    flat = tree("flat-%d" % args.flat, lambda p: flat_tree(p, args.flat))
    small = max(1, args.same // 10)
    same_small = tree("same-%d" % small, lambda p: same_name_tree(p, small))
    same = tree("same-%d" % args.same, lambda p: same_name_tree(p, args.same))

    rows = []
    r = measure(args, unique, renames=False)
    rows.append(("%d files in %d dirs, names unique" % (args.files, args.dirs), r,
                 r["unclash"] / r["floor"], "<= 1.5 x floor list"))
    r = measure(args, colliding, renames=True)
    renamed = round(args.collide * args.files)
    per_rename = max(0.0, r["floor_r"] - r["floor"]) / max(1, args.files)
    budget = r["floor"] + renamed * per_rename
    rows.append(("%d files in %d dirs, %g%% colliding" % (args.files, args.dirs, 100 * args.collide),
                 r, r["unclash"] / budget,
                 "<= 1.2 x (floor list + %d renames at %.1f us)" % (renamed, per_rename * 1e6)))
    r_small = measure(args, same_small, renames=True)
    r = measure(args, same, renames=True)
    rows.append(("%d dirs each holding a.txt" % small, r_small,
                 r_small["unclash"] / r_small["floor_r"], "<= 2 x floor -r"))
    rows.append(("%d dirs each holding a.txt" % args.same, r, r["unclash"] / r["floor_r"],
                 "<= 2 x floor -r; growth from %d: %.1fx (<= 12x)"
                 % (small, r["unclash"] / r_small["unclash"])))
    r = measure(args, flat, renames=False)
    rows.append(("%d files in one directory" % args.flat, r, r["unclash"] / r["floor"],
                 "<= 2 x floor list"))

    print("| tree | unclash s | floor list s | floor -r s | find s | ratio | goal | unclash peak MiB |")
    print("|---|---|---|---|---|---|---|---|")
    for name, r, ratio, goal in rows:
        print("| %s | %.3f | %.3f | %s | %.3f | %.2f | %s | %.1f |"
              % (name, r["unclash"], r["floor"],
                 "%.3f" % r["floor_r"] if "floor_r" in r else "-",
                 r["find"], ratio, goal, r["peak"]))
    if not args.keep:
        subprocess.run(["rm", "-rf", args.work], check=True)


if __name__ == "__main__":
    main()
