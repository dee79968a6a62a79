#!/usr/bin/env python3
"""Checks that the source tree keeps its layout.

Each folder of the project is one CMake target (a library or a program); its
CMakeLists.txt names its sources and, in target_link_libraries or the DEPS of
qvr_add_library, the targets it depends on. This script fails when
  - a folder includes a header of a folder it does not name as a dependency
    (directly: what a dependency depends on does not count),
  - the folders' dependencies form a cycle, or
  - a CMake file finds sources with file(GLOB ...).

Usage: check_layout.py ROOT     (exit 0: the layout holds; 1: it does not)
"""
import os
import re
import sys

SOURCE = re.compile(r".*\.(c|cc|cpp|h|hpp)$")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"', re.M)
TARGET = re.compile(
    r"\b(?:qvr_add_library|add_library|add_executable|pybind11_add_module)\(\s*([\w.-]+)")
LINKS = re.compile(r"\btarget_link_libraries\(\s*[\w.-]+([^)]*)\)|\bDEPS\b([^)]*)\)", re.S)
# Folders that hold no target of the product's own.
NOT_TARGETS = {"tests", "bench", "fuzz", "cmake", "scripts", "build", ".git", ".ci"}


def target_folders(root):
    """Folders (relative to root) whose CMakeLists.txt defines a target."""
    folders = []
    for dirpath, dirnames, filenames in os.walk(root):
        rel = os.path.relpath(dirpath, root)
        top = rel.split(os.sep)[0]
        if top in NOT_TARGETS or top.startswith("build"):
            dirnames[:] = []
            continue
        if "CMakeLists.txt" in filenames and rel != ".":
            with open(os.path.join(dirpath, "CMakeLists.txt")) as f:
                if TARGET.search(f.read()):
                    folders.append(rel)
    return folders


def read_folder(root, folder):
    with open(os.path.join(root, folder, "CMakeLists.txt")) as f:
        text = f.read()
    text = re.sub(r"#.*", "", text)
    targets = set(TARGET.findall(text))
    linked = set()
    for m in LINKS.finditer(text):
        linked.update(re.findall(r"[\w:.-]+", m.group(1) or m.group(2)))
    return targets, linked


def sources(root, folder, folders):
    """Source files of `folder`, not descending into another target folder."""
    base = os.path.join(root, folder)
    for dirpath, dirnames, filenames in os.walk(base):
        rel = os.path.relpath(dirpath, root)
        dirnames[:] = [d for d in dirnames if os.path.join(rel, d) not in folders]
        for name in filenames:
            if SOURCE.match(name):
                yield os.path.join(dirpath, name)


def find_cycle(deps):
    state = {}

    def visit(node, path):
        state[node] = "open"
        for dep in sorted(deps.get(node, ())):
            if state.get(dep) == "open":
                return path + [node, dep]
            if dep not in state:
                cycle = visit(dep, path + [node])
                if cycle:
                    return cycle
        state[node] = "done"
        return None

    for node in sorted(deps):
        if node not in state:
            cycle = visit(node, [])
            if cycle:
                return cycle
    return None


def check(root):
    problems = []
    folders = target_folders(root)
    owner = {}  # target name -> folder
    linked = {}
    for folder in folders:
        targets, links = read_folder(root, folder)
        linked[folder] = links
        for t in targets:
            owner[t] = folder
    # Headers are included by their top folder's name ("registry/..."); the
    # programs in tools/ include their own headers without one.
    by_prefix = {f.split(os.sep)[0]: f for f in folders if os.sep not in f}
    deps = {f: {owner[t] for t in linked[f] if t in owner} - {f} for f in folders}

    for folder in sorted(folders):
        allowed = {folder} | deps[folder]
        for path in sources(root, folder, folders):
            with open(path, errors="replace") as f:
                text = f.read()
            for prefix in INCLUDE.findall(text):
                used = by_prefix.get(prefix)
                if used is not None and used not in allowed:
                    problems.append("%s includes %s/ but %s/CMakeLists.txt does not name it" %
                                    (os.path.relpath(path, root), prefix, folder))

    cycle = find_cycle(deps)
    if cycle:
        problems.append("dependency cycle: " + " -> ".join(cycle))

    for dirpath, dirnames, filenames in os.walk(root):
        rel = os.path.relpath(dirpath, root)
        if rel.split(os.sep)[0].startswith(("build", ".git")):
            dirnames[:] = []
            continue
        for name in filenames:
            if name == "CMakeLists.txt" or name.endswith(".cmake"):
                with open(os.path.join(dirpath, name)) as f:
                    if re.search(r"file\(\s*GLOB", re.sub(r"#.*", "", f.read())):
                        problems.append(os.path.join(rel, name) + " finds sources with GLOB")
    return problems


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    problems = check(argv[1])
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
