#!/usr/bin/env python3
"""Plays tests/cases.txt with a built tocase in a fresh directory under
$TMPDIR, one case at a time: makes the tree, runs the tool, and compares
standard output byte for byte, standard error and the tree afterwards.

    cases.py --tool build/tocase [--launcher wine] [--features "twins links"]

Also the helpers that process_test.py shares.
"""
import argparse
import concurrent.futures
import copy
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
# Scratch trees in memory where no other place is asked for: a machine's
# own disk may take a millisecond to make a file, and the tests make many.
if "TMPDIR" not in os.environ and os.path.isdir("/dev/shm") and os.access("/dev/shm", os.W_OK):
    tempfile.tempdir = "/dev/shm"
# What a Linux temporary directory holds; a mounted file system says its own.
# Every level but Wine adds "shell", which expands wildcards on POSIX.
POSIX_FEATURES = "twins links linkrenames hardlinks utf8 anynames dirrenames"
# What each long name, after - or --, and each letter, alone or in a
# bundle after -, asks for.
LONG_NAMES = {"lower": "l", "upper": "u", "directories": "d", "recursive": "r", "dry-run": "n", "preview": "n",
              "all-scripts": "a", "extension": "e", "undo": "z", "mixed": "m"}
LETTERS = set("dlurnaez")


class Step:
    def __init__(self, arguments, before):
        self.arguments, self.output, self.errors, self.before, self.status = arguments, b"", [], before, 1


class Case:
    def __init__(self, title):
        self.title, self.needs, self.tree, self.steps, self.after = title, set(), [], [], []
        self.unforeseen = False


def asked(arguments):
    """The options a command line asks for, as letters, read as the tool
    reads them."""
    found = set()
    for argument in arguments:
        word = os.fsdecode(argument)
        if word == "--":
            break
        if word.startswith("--"):
            found |= set(LONG_NAMES.get(word[2:], ""))
        elif word.startswith("-") and len(word) > 2:
            found |= set(word[1:].lower()) if set(word[1:].lower()) <= LETTERS else set(LONG_NAMES.get(word[1:], ""))
        elif word[:1] in ("-", "/") and len(word) >= 2:
            found.add(word[1].lower())
    return found


def decoded(word):
    """A word of the table as bytes: %XX is the byte XX, '' the empty argument."""
    if word == "''":
        return b""
    return with_bytes(word.encode())


def with_bytes(text):
    return re.sub(rb"%([0-9A-Fa-f]{2})", lambda m: bytes([int(m.group(1), 16)]), text)


def read_cases(path=os.path.join(HERE, "cases.txt")):
    blocks, defining, cases, changes = {}, None, [], []
    with open(path, encoding="utf-8") as table:
        lines = table.read().splitlines()
    for number, line in enumerate(lines, 1):
        word, _, tail = line.partition(" ")
        rest = with_bytes(line[2:].encode())
        if defining is not None and line == "end":
            defining = None
        elif defining is not None:
            blocks[defining] += rest + b"\r\n"
        elif not line or line.startswith("#"):
            continue
        elif word == "define":
            defining, blocks[tail] = tail, b""
        elif word == "==":
            cases.append(Case(tail))
        elif line[0] == "|":
            cases[-1].steps[-1].output += rest + b"\r\n"
        elif line[0] == "=":
            cases[-1].steps[-1].output += b"\r\n" + rest + b"\r\n"
        elif line[0] == "@":
            cases[-1].steps[-1].output += blocks[line[1:]]
        elif line[0] == "!":
            cases[-1].steps[-1].errors.append(line[2:])
        elif line.startswith("$ tocase"):
            cases[-1].steps.append(Step([decoded(w) for w in line[8:].split()], changes))
            changes = []
        elif line[0] == ">":
            changes.append(tuple(decoded(w) for w in line[2:].split()))
        elif word in ("tree", "after"):
            getattr(cases[-1], word).extend(decoded(w) for w in tail.split())
        elif word == "status":
            cases[-1].steps[-1].status = int(tail)
        elif word == "needs":
            cases[-1].needs |= set(tail.split())
        elif line == "unforeseen":
            cases[-1].unforeseen = True
        else:
            raise ValueError(f"cases.txt:{number}: not understood: {line}")
    for case in cases:
        for step in case.steps:
            step.output += b"\r\n" if step.output else b""
        case.after = sorted(case.after or case.tree)
    return cases


def make_tree(root, entries):
    """'dir/', 'link->target', or a file that holds its own name."""
    root = os.fsencode(root)
    for entry in entries:
        path = os.path.join(root, entry.rstrip(b"/"))
        if b"->" in entry:
            name, target = entry.split(b"->", 1)
            os.symlink(target, os.path.join(root, name))
        elif entry.endswith(b"/"):
            os.mkdir(path)
        else:
            with open(path, "wb") as f:
                f.write(os.path.basename(path))


def change_tree(root, changes):
    """Between two runs: 'replace NAME' puts a new file in an entry's place,
    as an editor saves one; 'remake NAME' removes the entry and makes a new
    file of that name, which may get the number the entry had; 'make NAME'
    makes a file, or with a '/' after it a directory; 'remove NAME' removes
    a file; 'move NAME TO' renames an entry; 'link NAME TO' gives it a second
    name. A file made holds a text of its own."""
    for verb, name, *to in changes:
        path = os.path.join(os.fsencode(root), name)
        if verb in (b"move", b"link"):
            (os.rename if verb == b"move" else os.link)(path, os.path.join(os.fsencode(root), to[0]))
            continue
        if verb in (b"remove", b"remake"):
            os.remove(path)
        if verb == b"remove":
            continue
        if verb == b"make" and name.endswith(b"/"):
            os.mkdir(path)
            continue
        made = path + b".new" if verb == b"replace" else path
        with open(made, "xb") as f:
            f.write(b"made" if verb == b"make" else b"replaced")
        if verb == b"replace":
            os.rename(made, path)


def describe_tree(root):
    """Every entry below root, sorted: its path, then '/' after a directory,
    '->target' after a link, '<contents' after a file whose contents differ
    from its name."""
    found = []
    root = os.fsencode(root)
    for directory, subdirectories, files in os.walk(root):
        relative = os.path.relpath(directory, root)
        for name in subdirectories + files:
            path = os.path.join(directory, name)
            shown = os.path.normpath(os.path.join(relative, name))
            if os.path.islink(path):
                found.append(shown + b"->" + os.readlink(path))
            elif os.path.isdir(path):
                found.append(shown + b"/")
            else:
                with open(path, "rb") as f:
                    contents = f.read()
                found.append(shown if contents == name else shown + b"<" + contents)
    return sorted(found)


def state_base():
    """Where journals are kept: apart from a file system under test, which
    may not tell owners apart."""
    return os.environ.get("TOCASE_STATE_BASE") or tempfile.gettempdir()


def run_tool(tool, directory, arguments, timeout=20, encoding="utf-8", **options):
    """Standard output as bytes, standard error as text, and the status
    (minus the signal that ended it)."""
    assert_inside(arguments)
    done = subprocess.run(tool + arguments, cwd=directory, stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=timeout, **options)
    return done.stdout, done.stderr.decode(encoding, errors="replace"), done.returncode


def assert_inside(arguments):
    """The tool is only ever pointed at the directory made for it: an
    argument that a fault could read as a path from the root, such as /R,
    is played only where it names nothing there, holds no wildcard, and no
    other argument asks for the descent."""
    root = [name.lower() for name in os.listdir(b"/")]
    for i, argument in enumerate(arguments):
        word = os.fsencode(argument)
        harmless = (b"/" not in word[1:] and b"\\" not in word and not set(b"*?") & set(word)
                    and word[1:].lower() not in root and "r" not in asked(arguments[:i] + arguments[i + 1:]))
        if word.startswith(b"/") and not harmless:
            raise ValueError(f"{argument!r} could name a path outside the test's own directory")


def grouped(output):
    """The listing as a set of directories, each with its lines in any
    order: file systems list entries in their own order."""
    listing, _, report = output.partition(b"\r\n\r\n")
    blocks = []
    for line in listing.split(b"\r\n"):
        if line.startswith(b"  ") and blocks:
            blocks[-1].append(line)
        elif line:
            blocks.append([line])
    return sorted(block[:1] + sorted(block[1:]) for block in blocks), report


def headers_out_of_order(output):
    """Headers that come before one of a directory below them: each
    directory's entries come after everything below it."""
    listing = output.partition(b"\r\n\r\n")[0]
    headers = [line for line in listing.split(b"\r\n") if line and not line.startswith(b"  ")]
    below = lambda upper, lower: lower != upper and (upper == b".\\" or lower.startswith(upper))
    return [(h, later) for i, h in enumerate(headers) for later in headers[i + 1:] if below(h, later)]


def errors_differ(expected, errors):
    """Unless each expected line matches a line of standard error whole, or
    all of it but the system's ': reason' at its end, and no line is left."""
    lines = [line.rstrip("\r") for line in errors.splitlines()]
    for want in expected:
        hit = next((line for line in lines if line == want or line.startswith(want + ": ")), None)
        if hit is None:
            return True
        lines.remove(hit)
    return bool(lines)


def previewed(case):
    """A case's first run with -N: the same listing and standard error, a
    summary of what would be, no notice of failures, nothing renamed."""
    first = case.steps[0]
    if case.unforeseen or {"z", "n"} & asked(first.arguments) or first.status != 1 or first.before:
        return None
    preview = copy.deepcopy(case)
    preview.title = case.title + " (-N)"
    del preview.steps[1:]
    step = preview.steps[0]
    step.arguments = [b"-N"] + step.arguments
    step.output = preview_of(step.output)
    preview.after = sorted(case.tree)
    return preview


def preview_of(output):
    """What -N prints where a run printed `output`."""
    output = output.replace(b" converted to ", b" would be converted to ").replace(b" put back.", b" would be put back.")
    return re.sub(rb"\r\nProcess failed at .*?again\.\.\.\r\n", b"", output, flags=re.S)


def in_code_page(case):
    """The case as a tool that prints in code page 1252 shows it: each
    character the code page lacks as one ?."""
    shown = copy.deepcopy(case)
    for step in shown.steps:
        step.output = step.output.decode().encode("cp1252", errors="replace")
        step.errors = [line.encode("cp1252", errors="replace").decode("cp1252") for line in step.errors]
    return shown


def play(case, tool, root, encoding="utf-8"):
    """What went wrong, as lines; none when the case holds. The journals of
    its runs are kept apart from every other case's. Each -Z is previewed
    first, and must print what it then does."""
    make_tree(root, case.tree)
    faults = []
    # Apart from the file system under test, which may not tell owners.
    with tempfile.TemporaryDirectory(prefix="tocase-state-", dir=state_base()) as state:
        run = lambda arguments: run_tool(tool, root, arguments, encoding=encoding,
                                         env=dict(os.environ, XDG_STATE_HOME=state))
        for step in case.steps:
            change_tree(root, step.before)
            taking_back = "z" in asked(step.arguments) and "n" not in asked(step.arguments)
            preview = run([b"-N"] + step.arguments) if taking_back else None
            output, errors, status = run(step.arguments)
            if status != step.status:
                faults.append(f"exit status {status}, not {step.status}")
            if grouped(output) != grouped(step.output) or output and not step.output:
                faults.append(f"standard output\n  expected {step.output!r}\n  got      {output!r}")
            if preview and preview[0] != preview_of(output):
                faults.append(f"-N -Z printed\n  {preview[0]!r}\n  before -Z printed\n  {output!r}")
            if "z" not in asked(step.arguments) and headers_out_of_order(output):
                faults.append(f"a directory's header before one below it: {headers_out_of_order(output)}")
            if errors_differ(step.errors, errors):
                faults.append(f"standard error\n  expected {step.errors}\n  got      {errors!r}")
    tree = describe_tree(root)
    if tree != case.after:
        faults.append(f"tree afterwards\n  expected {case.after}\n  got      {tree}")
    return faults


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tool", required=True)
    parser.add_argument("--launcher", default="", help="run the tool through this, such as wine")
    parser.add_argument("--features", default=POSIX_FEATURES, help="what the file system here can hold")
    parser.add_argument("--no-shell", action="store_true", help="the tool's system has no shell that expands wildcards")
    parser.add_argument("--only", default="", help="the cases whose title holds this")
    options = parser.parse_args()
    tool = ([options.launcher] if options.launcher else []) + [os.path.abspath(options.tool)]
    features = set(options.features.split()) | (set() if options.no_shell else {"shell"})
    cases = [case for case in (played for case in read_cases() for played in (case, previewed(case)) if played)
             if options.only in case.title and {need for need in case.needs if not need.startswith("!")} <= features
             and not {"!" + f for f in features} & case.needs]

    def faults_of(case):
        root = tempfile.mkdtemp(prefix="tocase-case-")
        # Wine keeps journals in its prefix, whatever the environment says;
        # only a run under Wine clears them, never a native one beside it.
        for journals in [] if not options.launcher else glob.glob(os.path.join(os.environ.get("WINEPREFIX", "/nonexistent"), "drive_c/users/*/AppData/Local/tocase")):
            shutil.rmtree(journals)
        try:
            return play(in_code_page(case), tool, root, "cp1252") if "ansi" in features else play(case, tool, root)
        finally:
            shutil.rmtree(root, ignore_errors=True)

    # Cases share nothing, their journals included, but under Wine.
    with concurrent.futures.ThreadPoolExecutor(1 if options.launcher else os.cpu_count() or 1) as pool:
        found = list(pool.map(faults_of, cases))
    failed = 0
    for case, faults in zip(cases, found):
        if faults:
            failed += 1
            print(f"FAILED: {case.title}\n  " + "\n  ".join(faults))
    print(f"{len(cases) - failed} of {len(cases)} cases hold ({', '.join(sorted(features))})")
    return 1 if failed or not cases else 0


if __name__ == "__main__":
    sys.exit(main())
