#!/usr/bin/env python3
"""Runs the commands of README.md that an HTML comment marks to be run
("<!-- test: run ... -->" before an indented block), as written, from the
top of a fresh clone of this repository's last commit. Blocks marked "as
root on a fresh machine" install into the system, so they run only under
CI=true; blocks marked "without Wine" run with a wine that refuses to; a
block marked "it exits N" must end with status N, every other with 0.
A "session" shows "$ command" lines, each followed by what it prints: one
shell runs them, the tool just built first on the PATH, in a scratch
directory made as the mark says after "made by:"; each must print that."""
import os
import re
import subprocess
import sys
import tempfile

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MARK = re.compile(r"^\s*<!-- test: (.*) -->$")


def marked_blocks(lines):
    """(how, commands) for each marked block, its indent taken off."""
    for number, line in enumerate(lines):
        mark = MARK.match(line)
        if not mark:
            continue
        start = next(i for i in range(number + 1, len(lines)) if lines[i].strip())
        indent = len(lines[start]) - len(lines[start].lstrip())
        end = start
        while end < len(lines) and (not lines[end].strip() or lines[end].startswith(" " * indent)):
            end += 1
        yield mark.group(1), "".join(line[indent:] or "\n" for line in lines[start:end]).strip() + "\n"



def shown_lines(output):
    """Its lines, each run of listed renames sorted: a file system lists a directory in its own order."""
    text = output.replace("\r", "").strip("\n") + "\n"
    return re.sub(r"(?m)(^  .* -> .*\n)+", lambda run: "".join(sorted(run.group(0).splitlines(True))), text)


def session_holds(how, text, clone):
    steps = [step.partition("\n") for step in re.split(r"^\$ ", text, flags=re.M)[1:]]
    with tempfile.TemporaryDirectory() as scratch:
        os.mkdir(os.path.join(scratch, "work"))
        path = os.path.join(clone, "build", "release") + os.pathsep + os.environ["PATH"]
        script = how.partition("made by: ")[2] + "".join(f"\nprintf '\\036\\n'\n{command} 2>&1" for command, _, _ in steps)
        output = subprocess.run(["sh", "-c", script], cwd=os.path.join(scratch, "work"), capture_output=True,
                                env=dict(os.environ, PATH=path, XDG_STATE_HOME=scratch, TMPDIR=scratch)).stdout.decode()
    printed = output.split("\x1e\n")[1:]
    wrong = [f"$ {c}\nprinted:\n{got}" for (c, _, shown), got in zip(steps, printed) if shown_lines(got) != shown_lines(shown)]
    print("".join(wrong), end="")
    return len(printed) == len(steps) and not wrong

def main():
    with tempfile.TemporaryDirectory() as scratch:
        clone = os.path.join(scratch, "tocase")
        subprocess.run(["git", "clone", "-q", TOP, clone], check=True)
        # A wine that refuses, first on the PATH.
        refusing = os.path.join(scratch, "no-wine")
        os.mkdir(refusing)
        for name in ("wine", "wine64", "wineserver"):
            with open(os.path.join(refusing, name), "w") as script:
                script.write("#!/bin/sh\necho \"$0 was called\" >&2\nexit 1\n")
            os.chmod(os.path.join(refusing, name), 0o755)
        with open(os.path.join(clone, "README.md"), encoding="utf-8") as readme:
            blocks = list(marked_blocks(readme.readlines()))
        for how, commands in blocks:
            if how == "the command that runs this check":
                continue
            if "as root on a fresh machine" in how and os.environ.get("CI") != "true":
                print(f"-- not run here (only under CI=true):\n{commands}")
                continue
            environment = dict(os.environ)
            if "without Wine" in how:
                environment["PATH"] = refusing + os.pathsep + environment["PATH"]
            print(f"-- {how}:\n{commands}", flush=True)
            expected = re.search(r"it exits (\d+)", how)
            status = (0 if session_holds(how, commands, clone) else 1) if how.startswith("session") else \
                subprocess.run(["sh", "-ec", commands], cwd=clone, env=environment).returncode
            if status != (int(expected.group(1)) if expected else 0):
                print(f"FAILED: README.md says to run\n{commands}")
                return 1
        print(f"{len(blocks)} marked blocks of README.md hold")
    return 0


if __name__ == "__main__":
    sys.exit(main())
