#!/usr/bin/env python3
"""Runs clang-tidy (the checks of .clang-tidy, warnings are errors) over the given sources, one
per core at a time, and exits 1 when any file has a finding.

A full check takes minutes on two cores, so a file is not checked again when everything
clang-tidy reads of it is what it was at an earlier clean check: its text after the
preprocessor with comments kept (so every header it includes and every NOLINT), its compile
flags, .clang-tidy and clang-tidy's version, with the source folder's own path taken out so
that another clone of the same sources counts as the same. The hashes of clean checks are kept
in ${XDG_CACHE_HOME:-~/.cache}/mivo-tidy/; MIVO_TIDY_CACHE=0 checks every file.

    scripts/tidy.py BUILD_DIR FILE...
"""

import concurrent.futures
import hashlib
import json
import os
import shlex
import subprocess
import sys


def main() -> int:
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    build = os.path.abspath(sys.argv[1])
    files = [os.path.abspath(f) for f in sys.argv[2:]]
    root = os.path.dirname(os.path.abspath(os.path.dirname(__file__)))
    with open(os.path.join(build, "compile_commands.json"), encoding="utf-8") as f:
        commands = {os.path.abspath(e["file"]): e for e in json.load(f)}
    with open(os.path.join(root, ".clang-tidy"), "rb") as f:
        settings = f.read()
    version = subprocess.run(["clang-tidy", "--version"], capture_output=True, check=False).stdout
    use_cache = os.environ.get("MIVO_TIDY_CACHE", "1") != "0"
    cache = os.path.join(os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"),
                         "mivo-tidy")
    os.makedirs(cache, exist_ok=True)

    def key_of(path: str) -> str | None:
        entry = commands.get(path)
        if entry is None:
            return None
        args = shlex.split(entry["command"])
        # The compiler's own command, made to print the preprocessed text instead of an object.
        pre = []
        skip = False
        for a in args:
            if skip:
                skip = False
                continue
            if a == "-o":
                skip = True
                continue
            pre.append("-E" if a == "-c" else a)
        pre[1:1] = ["-C", "-P"]
        run = subprocess.run(pre, cwd=entry["directory"], capture_output=True, check=False)
        if run.returncode != 0:
            return None
        h = hashlib.sha256()
        for part in (version, settings, os.path.relpath(path, root).encode(),
                     " ".join(args[1:]).replace(root, "").replace(build, "").encode(),
                     run.stdout.replace(root.encode(), b"")):
            h.update(len(part).to_bytes(8, "little"))
            h.update(part)
        return h.hexdigest()

    def check(path: str) -> tuple[str, bool, str]:
        key = key_of(path) if use_cache else None
        mark = os.path.join(cache, key) if key else None
        if mark and os.path.exists(mark):
            return path, True, ""
        run = subprocess.run(["clang-tidy", "-p", build, "--quiet", path], capture_output=True,
                             text=True, check=False)
        if run.returncode == 0 and mark:
            with open(mark, "w", encoding="utf-8"):
                pass
        return path, run.returncode == 0, run.stdout + run.stderr

    failed = 0
    workers = max(1, os.cpu_count() or 1)
    with concurrent.futures.ThreadPoolExecutor(max_workers=workers) as pool:
        for path, ok, output in pool.map(check, files):
            if not ok:
                failed += 1
                print(f"clang-tidy: {os.path.relpath(path, root)}", file=sys.stderr)
                print(output, file=sys.stderr, end="")
    print(f"clang-tidy: {len(files)} files, {failed} with findings")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
