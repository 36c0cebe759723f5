#!/usr/bin/env python3
"""Writes src/text/unicode_case_tables.cc, the case tables of every script
and the word characters of a title, from the Unicode Character Database
(Debian: apt-get install unicode-data).

    scripts/generate-case-tables.py [UCD_DIRECTORY] [--output FILE]

The output depends on the data alone, byte for byte, so a test can tell when
the committed file is out of date.
"""
import argparse
import pathlib
import re

SEQUENCE = 0x110000  # mappings from here up are offsets into the sequence pool
LINE_WIDTH = 120


def rows(path):
    """The fields of each data line, comments dropped."""
    for line in path.read_text(encoding="utf-8").splitlines():
        line = line.split("#", 1)[0].strip()
        if line:
            yield [field.strip() for field in line.split(";")]


def code_points(field):
    return tuple(int(c, 16) for c in field.split())


def version(ucd):
    """The one version every file with a header names."""
    found = set()
    for name in ("SpecialCasing.txt", "CaseFolding.txt", "DerivedCoreProperties.txt"):
        with (ucd / name).open(encoding="utf-8") as f:
            found.add(re.search(r"-(\d+\.\d+\.\d+)\.txt", f.readline()).group(1))
    if len(found) != 1:
        raise SystemExit(f"the files are of different Unicode versions: {sorted(found)}")
    return found.pop()


def full_case_mappings(ucd):
    """Lowercase, titlecase and uppercase, without locale or context: the
    simple mappings, replaced by the unconditional rows of SpecialCasing.txt.
    A character without a simple titlecase mapping takes its simple
    uppercase one, as the UCD defines."""
    lower, title, upper = {}, {}, {}
    for f in rows(ucd / "UnicodeData.txt"):
        c = int(f[0], 16)
        if f[13]:
            lower[c] = code_points(f[13])
        if f[12]:
            upper[c] = code_points(f[12])
        if f[14] or f[12]:
            title[c] = code_points(f[14] or f[12])
    for f in rows(ucd / "SpecialCasing.txt"):
        if f[4]:  # a condition: Final_Sigma is coded by hand, the rest left out
            continue
        c = int(f[0], 16)
        lower[c], title[c], upper[c] = code_points(f[1]), code_points(f[2]), code_points(f[3])
    return tuple({c: m for c, m in mapping.items() if m != (c,)} for mapping in (lower, title, upper))


def simple_case_folding(ucd):
    return {int(f[0], 16): code_points(f[2]) for f in rows(ucd / "CaseFolding.txt") if f[1] in ("C", "S")}


def merged(ranges):
    """First-last-value ranges sorted, those that touch with the same value
    made one."""
    ranges = sorted(ranges)
    result = [list(ranges[0])]
    for first, last, value in ranges[1:]:
        if first == result[-1][1] + 1 and value == result[-1][2]:
            result[-1][1] = last
        else:
            result.append([first, last, value])
    return result


def range_entries(ucd, name):
    """The code points with a binary property, as merged first-last ranges."""
    ranges = []
    for f in rows(ucd / "DerivedCoreProperties.txt"):
        if f[1] != name:
            continue
        first, _, last = f[0].partition("..")
        ranges.append((int(first, 16), int(last or first, 16), None))
    return [f"{{0x{first:04X}, 0x{last:04X}}}" for first, last, _ in merged(ranges)]


# What a General_Category makes a character in the words of a title.
WORD_CHARACTER_KINDS = {"L": "letter", "Nd": "decimalDigit", "M": "markOrOtherNumber", "N": "markOrOtherNumber"}


def word_character_entries(ucd):
    """Letters, marks and numbers as ranges of one kind each; UnicodeData.txt
    gives a large block as two lines, its first and its last code point."""
    ranges = []
    first = None
    for f in rows(ucd / "UnicodeData.txt"):
        c = int(f[0], 16)
        if f[1].endswith(", First>"):
            first = c
            continue
        kind = WORD_CHARACTER_KINDS.get(f[2]) or WORD_CHARACTER_KINDS.get(f[2][0])
        if kind:
            ranges.append((c if first is None else first, c, kind))
        first = None
    return [f"{{0x{first:04X}, 0x{last:04X}, {kind}}}" for first, last, kind in merged(ranges)]


def array(declaration, items):
    lines = [f"{declaration}[] = {{", ""]
    for item in items:
        if len(lines[-1]) + len(item) + 2 > LINE_WIDTH:
            lines.append("")
        lines[-1] += (" " if lines[-1] else "    ") + item + ","
    return lines + ["};", ""]


def mapping_entries(mapping, pool, offsets):
    """A mapping sorted by code point; sequences go into the shared pool,
    once each, as their length followed by their code points."""
    entries = []
    for c, target in sorted(mapping.items()):
        if len(target) == 1:
            to = target[0]
        else:
            if target not in offsets:
                offsets[target] = len(pool)
                pool.extend((len(target),) + target)
            to = SEQUENCE + offsets[target]
        entries.append(f"{{0x{c:04X}, 0x{to:04X}}}")
    return entries


def generate(ucd):
    lower, title, upper = full_case_mappings(ucd)
    pool, offsets = [], {}
    tables = [
        ("CaseMapping", "lowercaseMappings", mapping_entries(lower, pool, offsets)),
        ("CaseMapping", "uppercaseMappings", mapping_entries(upper, pool, offsets)),
        ("CaseMapping", "titlecaseMappings", mapping_entries(title, pool, offsets)),
        ("CaseMapping", "simpleCaseFolding", mapping_entries(simple_case_folding(ucd), pool, offsets)),
        ("CodePointRange", "casedRanges", range_entries(ucd, "Cased")),
        ("CodePointRange", "caseIgnorableRanges", range_entries(ucd, "Case_Ignorable")),
        ("WordCharacterRange", "wordCharacterRanges", word_character_entries(ucd)),
        ("char32_t", "sequencePool", [f"0x{c:04X}" for c in pool]),
    ]
    lines = [
        f"// @generated by scripts/generate-case-tables.py from the Unicode Character Database {version(ucd)};"
        " do not edit.",
        '#include "text/unicode_case_tables.h"',
        "",
        "namespace tocase::case_tables {",
        "namespace {",
        "",
        *(f"constexpr auto {kind} = WordCharacterKind::{kind};" for kind in sorted(set(WORD_CHARACTER_KINDS.values()))),
        "",
    ]
    for element, name, entries in tables:
        lines += array(f"const {element} {name}Table", entries)
    lines += ["}  // namespace", ""]
    lines += [f"const std::span<const {element}> {name}{{{name}Table}};" for element, name, _ in tables]
    lines += ["", "}  // namespace tocase::case_tables"]
    return "\n".join(lines) + "\n"


def main():
    here = pathlib.Path(__file__).resolve().parent
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("ucd", nargs="?", default="/usr/share/unicode", type=pathlib.Path)
    parser.add_argument("--output", type=pathlib.Path, default=here.parent / "src/text/unicode_case_tables.cc")
    args = parser.parse_args()
    args.output.write_bytes(generate(args.ucd).encode("utf-8"))


if __name__ == "__main__":
    main()
