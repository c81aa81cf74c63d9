#!/usr/bin/env python3
"""Only the planners read the settings in src/generation: no other generation source includes a
header of src/settings. A planner is src/generation/plan/planners.cpp or a file of that folder
named *_planner.cpp; tests are free to build settings. Usage: settings_readers.py SOURCE_DIR"""

import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*[<"](settings/[^>"]+)[>"]', re.MULTILINE)


def is_planner(path: pathlib.Path, generation: pathlib.Path) -> bool:
    relative = path.relative_to(generation)
    return relative.parent == pathlib.Path("plan") and (
        relative.name == "planners.cpp" or relative.name.endswith("_planner.cpp"))


def main() -> int:
    generation = pathlib.Path(sys.argv[1]) / "src" / "generation"
    readers = []
    for path in sorted(generation.rglob("*")):
        if path.suffix not in (".h", ".cpp") or "tests" in path.relative_to(generation).parts:
            continue
        headers = INCLUDE.findall(path.read_text(encoding="utf-8"))
        if headers and not is_planner(path, generation):
            readers.append(f"{path.relative_to(generation.parent.parent)}: {', '.join(headers)}")
    planners = [p for p in generation.rglob("*.cpp") if is_planner(p, generation)]
    if not planners:
        print("no planner found under src/generation/plan: the check looks in the wrong place")
        return 1
    if readers:
        print("Only the planners (src/generation/plan/planners.cpp, *_planner.cpp) may read the")
        print("settings; hand what a run needs to the album tree instead. These include them:")
        print("\n".join("  " + line for line in readers))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
