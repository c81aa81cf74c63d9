#!/usr/bin/env python3
"""The English catalogue against the sources.

1. Every text the sources mark with translate() or translatable() has an English
   translation in po/en.po that is not fuzzy and holds no Japanese.
2. No string literal of the window, mivo-make, the run or the common routines holds
   Japanese outside translate(), translatable() and the log (cmWriteLog, whose lines are
   never translated).
Lists what it finds and exits 1 when anything is found.
"""
import pathlib
import re
import subprocess
import sys
import tempfile

JAPANESE = re.compile(r"[\u3040-\u30ff\u3400-\u9fff\uff00-\uffef]")
ALLOWED_CALLS = {"translate", "translatable", "cmWriteLog"}


def is_test(path):
    """The tests beside each library expect the Japanese texts."""
    return "tests" in pathlib.Path(path).parts


def po_entries(path):
    """(msgid, msgstr, fuzzy) of every entry but the header."""
    entries = []
    text = pathlib.Path(path).read_text(encoding="utf-8")
    for block in text.split("\n\n"):
        fuzzy = any(line.startswith("#,") and "fuzzy" in line for line in block.splitlines())
        fields = {}
        key = None
        for line in block.splitlines():
            match = re.match(r'^(msgid|msgstr) (".*")$', line)
            if match:
                key = match.group(1)
                fields[key] = [match.group(2)]
            elif line.startswith('"') and key:
                fields[key].append(line)
        if "msgid" not in fields:
            continue
        unquote = lambda parts: "".join(
            bytes(p[1:-1], "utf-8").decode("unicode_escape").encode("latin-1").decode("utf-8")
            for p in parts)
        msgid = unquote(fields["msgid"])
        if msgid:
            entries.append((msgid, unquote(fields.get("msgstr", ['""'])), fuzzy))
    return entries


def marked_texts(source_dir):
    files = sorted(str(p) for p in pathlib.Path(source_dir, "src").rglob("*")
                   if p.suffix in (".cpp", ".h") and not is_test(p))
    with tempfile.TemporaryDirectory() as tmp:
        pot = pathlib.Path(tmp, "mivo.pot")
        subprocess.run(["xgettext", "--language=C++", "--from-code=UTF-8", "--keyword=",
                        "--keyword=translate:1", "--keyword=translatable:1", "--no-location",
                        "-o", str(pot)] + files, check=True, stderr=subprocess.DEVNULL)
        return [msgid for msgid, _, _ in po_entries(pot)]


def unmarked_literals(path):
    """Japanese string literals outside the allowed calls: (line, text)."""
    source = path.read_text(encoding="utf-8")
    found = []
    stack = []  # the name before each open parenthesis
    last_word = ""
    i = 0
    line = 1
    while i < len(source):
        c = source[i]
        if source.startswith("//", i):
            end = source.find("\n", i)
            i = len(source) if end < 0 else end
            continue
        if source.startswith("/*", i):
            end = source.find("*/", i)
            line += source.count("\n", i, end)
            i = end + 2
            continue
        if c == '"' or (c == "'" and not source[i - 1].isalnum()):
            j = i + 1
            while j < len(source) and source[j] != c:
                j += 2 if source[j] == "\\" else 1
            literal = source[i + 1:j]
            if c == '"' and JAPANESE.search(literal) and not ALLOWED_CALLS & set(stack):
                found.append((line, literal))
            i = j + 1
            last_word = ""
            continue
        if c.isalnum() or c == "_":
            j = i
            while j < len(source) and (source[j].isalnum() or source[j] == "_"):
                j += 1
            last_word = source[i:j]
            i = j
            continue
        if c == "(":
            stack.append(last_word)
        elif c == ")" and stack:
            stack.pop()
        elif c == "\n":
            line += 1
        if not c.isspace():
            last_word = "" if c != "(" else last_word
        i += 1
    return found


def main():
    source_dir = pathlib.Path(sys.argv[1])
    problems = []
    catalogue = {msgid: (msgstr, fuzzy)
                 for msgid, msgstr, fuzzy in po_entries(source_dir / "po" / "en.po")}
    for msgid in marked_texts(source_dir):
        msgstr, fuzzy = catalogue.get(msgid, ("", False))
        if not msgstr or fuzzy:
            problems.append(f"po/en.po: no English for {msgid!r}")
    for msgid, (msgstr, _) in catalogue.items():
        if JAPANESE.search(msgstr):
            problems.append(f"po/en.po: Japanese in the English of {msgid!r}: {msgstr!r}")
    # The settings are left out: their Japanese defaults (title, link names) are page content.
    for folder in ("src/window", "src/cli", "src/generation", "src/common", "src/publish"):
        for path in sorted((source_dir / folder).rglob("*")):
            if path.suffix in (".cpp", ".h") and not is_test(path):
                for line, literal in unmarked_literals(path):
                    rel = path.relative_to(source_dir)
                    problems.append(f"{rel}:{line}: not translated: {literal!r}")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
