#!/usr/bin/env python3
"""Times tocase against the floor and its peers on fresh copies of the same
generated trees, on tmpfs and on ext4, and prints a Markdown table.

Run through bench/run.sh, which builds the programs and mounts the file
systems; see BENCHMARKS.md."""
import argparse
import os
import shutil
import statistics
import subprocess
import sys

TREES = {
    # name: (depth, fanout, files per leaf directory, percent of names in capitals)
    "1k": (1, 10, 100, 50),
    "100k": (1, 1000, 100, 50),
    "1M": (2, 100, 100, 50),
    # Every name in capitals, so that /T renames the very entries /L does.
    "100k-caps": (1, 1000, 100, 100),
    # One directory holding every file: a camera dump, a dataset.
    "flat-100k": (0, 1, 100000, 50),
    "flat-1M": (0, 1, 1000000, 50),
}


def contenders(bin_dir, out_file, baselines):
    here = os.path.dirname(os.path.abspath(__file__))
    tocase = os.path.join(bin_dir, "tocase")
    floor = os.path.join(bin_dir, "bench_floor")
    # Each contender is set against the floor writing to the same place; a
    # third item is a command run first, untimed, on the same tree.
    chosen = {
        "floor (C)": ([floor, "."], "/dev/null"),
        # The floor renaming in inode order, as a renamer that sorts its
        # names by the order they were made in does (mmv on these trees).
        "floor in inode order (C)": ([floor, "--inode-order", "."], "/dev/null"),
        "tocase /R": ([tocase, "-R", "*"], "/dev/null"),
        "tocase /R /A": ([tocase, "-R", "-A", "*"], "/dev/null"),
        "tocase /R /T": ([tocase, "-R", "-T", "*"], "/dev/null"),
        "tocase /Z of that run": ([tocase, "-Z"], "/dev/null", [tocase, "-R", "*"]),
        "python scandir/rename": ([sys.executable, os.path.join(here, "scandir_rename.py"), "."], "/dev/null"),
        "mmv": (["mmv", "-v", ";FILE_*", "#1file_#l2"], "/dev/null"),
        "find -depth + rename": (
            ["sh", "-c", "find . -depth -type f -print0 | xargs -0 rename -v -d '$_ = lc unless /[a-z]/'"],
            "/dev/null"),
        "floor (C), to a file": ([floor, "."], out_file),
        "tocase /R, to a file": ([tocase, "-R", "*"], out_file),
    }
    for baseline in baselines:
        label, _, path = baseline.rpartition("=")
        path = os.path.abspath(path)
        chosen[f"tocase /R ({label or 'baseline'} build)"] = ([path, "-R", "*"], "/dev/null")
        chosen[f"tocase /Z of that run ({label or 'baseline'} build)"] = ([path, "-Z"], "/dev/null", [path, "-R", "*"])
    return chosen


def make_tree(bin_dir, root, tree):
    if os.path.exists(root):
        shutil.rmtree(root)
    depth, fanout, files, capitals = TREES[tree]
    subprocess.run([os.path.join(bin_dir, "bench_make_tree"), root, str(depth), str(fanout),
                    str(files), str(capitals)], check=True)
    os.sync()


def time_once(bin_dir, command, cwd, stdout_path):
    measured = subprocess.run([os.path.join(bin_dir, "bench_measure"), stdout_path] + command,
                              cwd=cwd, check=True, capture_output=True, text=True).stdout.split()
    wall, user, system, rss_kib = (float(v) for v in measured[:4])
    return wall, user, system, rss_kib


def leftover_uppercase(root):
    for _, _, files in os.walk(root):
        for name in files:
            if name.startswith("FILE_"):
                return True
    return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="directory holding tocase and the bench programs")
    parser.add_argument("--mount", action="append", required=True, help="NAME=PATH of a file system")
    parser.add_argument("--trees", default="100k,1M")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--only", default="", help="comma-separated contender names to run")
    parser.add_argument("--baseline", action="append", default=[],
                        help="[LABEL=]PATH of another tocase binary to time alongside, for A/B; may be repeated")
    args = parser.parse_args()
    args.bin = os.path.abspath(args.bin)

    rows = []
    for mount in args.mount:
        fs_name, fs_path = mount.split("=", 1)
        out_file = os.path.join(fs_path, "..", f"tocase-output-{fs_name}.txt")
        for tree in args.trees.split(","):
            chosen = {name: spec for name, spec in contenders(args.bin, out_file, args.baseline).items()
                      if not args.only or name in args.only.split(",")}
            # Rounds take every contender in turn, so drift in the machine's
            # state spreads over all of them alike.
            samples = {name: [] for name in chosen}
            for run in range(args.runs):
                for name, (command, stdout_path, *setup) in chosen.items():
                    root = os.path.join(fs_path, "tree")
                    make_tree(args.bin, root, tree)
                    for first in setup:
                        subprocess.run(first, cwd=root, check=False, stdout=subprocess.DEVNULL)
                    samples[name].append(time_once(args.bin, command, root, stdout_path))
                    if run == 0 and not setup and leftover_uppercase(root):
                        print(f"warning: {name} left uppercase names on {fs_name} {tree}", file=sys.stderr)
            floor_median = None
            for name, taken in samples.items():
                wall = statistics.median(s[0] for s in taken)
                user = statistics.median(s[1] for s in taken)
                system = statistics.median(s[2] for s in taken)
                rss_mib = max(s[3] for s in taken) / 1024
                # Each contender is set against the floor above it; the
                # inode-order floor is a contender of its own.
                if name.startswith("floor") and "inode order" not in name:
                    floor_median = wall
                row = (fs_name, tree, name, wall, user, system, rss_mib, wall / floor_median)
                rows.append(row)
                print("| %s | %s | %s | %.3f | %.3f | %.3f | %.1f | %.2f |" % row, flush=True)
    return rows


if __name__ == "__main__":
    print("| file system | tree | contender | wall s (median) | user s | system s | peak RSS MiB | x floor |")
    print("|---|---|---|---|---|---|---|---|", flush=True)
    main()
