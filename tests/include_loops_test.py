#!/usr/bin/python3
"""No two modules of the project depend on each other in a loop through
their includes, directly or through others, and the editor includes nothing
of what drives it (driver/). A module is foo.cpp with foo.h; the tests are
left out. Prints each loop or upward include found and exits 1.
  include_loops_test.py [ROOT]"""

import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
SKIP = {".git", "build", "dist", "tests"}


def modules(root):
    """{module: set of modules it includes}, a module named by its path
    from ROOT without the extension."""
    graph = {}
    for folder, dirs, files in os.walk(root):
        dirs[:] = [d for d in dirs if d not in SKIP]
        for name in files:
            stem, ext = os.path.splitext(name)
            if ext not in (".cpp", ".h"):
                continue
            path = os.path.join(folder, name)
            module = os.path.relpath(os.path.join(folder, stem), root)
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            targets = graph.setdefault(module, set())
            for included in INCLUDE.findall(text):
                for base in (root, folder):
                    if os.path.exists(os.path.join(base, included)):
                        target = os.path.relpath(
                            os.path.splitext(os.path.join(base, included))[0], root)
                        if target != module:
                            targets.add(target)
                        break
    return graph


def loops(graph):
    """Strongly connected groups of more than one module (Tarjan)."""
    index, low, stack, on, found = {}, {}, [], set(), []

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on.add(v)
        for w in sorted(graph.get(v, ())):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            group = []
            while True:
                w = stack.pop()
                on.discard(w)
                group.append(w)
                if w == v:
                    break
            if len(group) > 1:
                found.append(sorted(group))

    for v in sorted(graph):
        if v not in index:
            visit(v)
    return found


# Folders that must not include from the folders named: the editor is read
# and built without its test machinery above it.
BELOW = {"editor": ("driver",)}


def upward(graph):
    """Includes from a folder into one it must know nothing of."""
    return [(a, b) for a in sorted(graph) for b in sorted(graph[a])
            if b.split(os.sep)[0] in BELOW.get(a.split(os.sep)[0], ())]


def main(argv):
    root = argv[1] if len(argv) > 1 else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    graph = modules(root)
    found = loops(graph)
    for group in found:
        ties = [f"{a} -> {b}" for a in group for b in sorted(graph[a]) if b in group]
        print(f"include loop: {', '.join(group)} ({'; '.join(ties)})")
    wrong = upward(graph)
    for a, b in wrong:
        print(f"{a} includes {b}, which drives the editor from above")
    if not found and not wrong:
        print(f"{len(graph)} modules, no include loop, the editor below its driver")
    return 1 if found or wrong else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
