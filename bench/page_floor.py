#!/usr/bin/env python3
"""What the pages of a run cost to write with nothing else: the floor under a run.

    bench/page_floor.py PAGES OUT [RUNS]

Reads every .html file under PAGES (the page folder a run made) into memory, then, timed, makes
the same folders under OUT and writes the same bytes to the same names as a run does: each page
to a temporary name beside it, the data synced (fdatasync) 128 pages at a time, then renamed
over its name. OUT is emptied before each of RUNS tries (default 3); prints the best time in
seconds, and the number of folders and pages.
"""

import os
import shutil
import sys
import time

BATCH = 128  # pages synced together, as the run's page store does


def collect(pages):
    folders, files = [], []
    for folder, _dirs, names in os.walk(pages):
        rel = os.path.relpath(folder, pages)
        folders.append(rel)
        for name in names:
            if name.endswith(".html"):
                with open(os.path.join(folder, name), "rb") as f:
                    files.append((os.path.join(rel, name), f.read()))
    return folders, files


def place(batch):
    for fd, _temp, _target in batch:
        os.fdatasync(fd)
    for fd, temp, target in batch:
        os.rename(temp, target)
        os.close(fd)
    batch.clear()


def write_all(out, folders, files):
    start = time.perf_counter()
    for rel in folders:
        os.makedirs(os.path.join(out, rel), exist_ok=True)
    batch = []
    for rel, data in files:
        target = os.path.join(out, rel)
        head, name = os.path.split(target)
        temp = os.path.join(head, "." + name + ".floor")
        fd = os.open(temp, os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_CLOEXEC, 0o666)
        os.write(fd, data)
        batch.append((fd, temp, target))
        if len(batch) >= BATCH:
            place(batch)
    place(batch)
    return time.perf_counter() - start


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    pages, out = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    folders, files = collect(pages)
    best = None
    for _ in range(runs):
        shutil.rmtree(out, ignore_errors=True)
        took = write_all(out, folders, files)
        best = took if best is None else min(best, took)
    print(f"{best:.3f} {len(folders)} {len(files)}")


if __name__ == "__main__":
    main()
