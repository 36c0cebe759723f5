#!/usr/bin/env python3
"""A Python peer: os.scandir and os.rename, bottom-up, converting names
whose letters are all uppercase to lowercase, listing each rename."""
import os
import sys


def walk(path, out):
    with os.scandir(path) as entries:
        entries = list(entries)
    for entry in entries:
        if entry.is_dir(follow_symlinks=False) and not entry.name.startswith("."):
            walk(entry.path, out)
    for entry in entries:
        name = entry.name
        if entry.is_dir(follow_symlinks=False) or name.lower() == name or name.upper() != name:
            continue
        lower = name.lower()
        target = os.path.join(path, lower)
        failed = ""
        if os.path.lexists(target):
            failed = " *** FAILED"
        else:
            try:
                os.rename(entry.path, target)
            except OSError:
                failed = " *** FAILED"
        out.write(f"  {name} -> {lower}{failed}\r\n")
        out.flush()


walk(sys.argv[1], sys.stdout)
