#!/usr/bin/env python3
"""Checks the #include "..." lines under src/: includes point one way.

Fails (exit 1) on
  - an include cycle between components (a component is a .h/.cpp pair, so a
    class whose .cpp includes a header that includes it back is a cycle too);
  - an include from a module into one it may not use (the table below);
  - an include that names no file under src/, or a file in no module.
Prints the module picture (which folder includes which) when all is well.

usage: scripts/check_includes.py [repository root]
"""
import os
import re
import sys

# Module -> the modules it may include. Longest folder prefix names a file's
# module. The engine, text and settings use no Qt; the window modules sit on
# ui (twips placement, the prompts seam, the pane host); the panes do not know
# the main window, and the two pane modules do not know each other.
ALLOWED = {
    "text": set(),
    "settings": {"text"},
    "search/engine": {"text", "settings"},
    "search/cli": {"search/engine", "settings", "text"},
    "ui": {"text", "settings"},
    "conditions": {"ui", "search/engine", "settings", "text"},
    "results": {"ui", "search/engine", "settings", "text"},
    "search": {"results", "ui", "search/engine", "settings", "text"},
    "main": {"search", "conditions", "results", "ui", "search/engine", "settings", "text"},
}
SOURCE_EXT = (".h", ".hpp", ".cpp", ".cc")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def module_of(rel):
    best = None
    for name in ALLOWED:
        if rel.startswith(name + "/") and (best is None or len(name) > len(best)):
            best = name
    return best


def component_of(rel):
    return os.path.splitext(rel)[0]


def strongly_connected(graph):
    """Tarjan's algorithm, iterative; returns the components of more than one node."""
    index, low, on_stack, stack, result = {}, {}, set(), [], []
    counter = 0
    for root in sorted(graph):
        if root in index:
            continue
        work = [(root, iter(sorted(graph[root])))]
        index[root] = low[root] = counter
        counter += 1
        stack.append(root)
        on_stack.add(root)
        while work:
            node, edges = work[-1]
            advanced = False
            for nxt in edges:
                if nxt not in index:
                    index[nxt] = low[nxt] = counter
                    counter += 1
                    stack.append(nxt)
                    on_stack.add(nxt)
                    work.append((nxt, iter(sorted(graph[nxt]))))
                    advanced = True
                    break
                if nxt in on_stack:
                    low[node] = min(low[node], index[nxt])
            if advanced:
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                members = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    members.append(member)
                    if member == node:
                        break
                if len(members) > 1:
                    result.append(sorted(members))
    return result


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    src = os.path.join(os.path.abspath(root), "src")
    files = []
    for folder, _, names in os.walk(src):
        for name in names:
            if name.endswith(SOURCE_EXT):
                files.append(os.path.relpath(os.path.join(folder, name), src))
    files.sort()

    errors = []
    graph = {component_of(f): set() for f in files}
    why = {}  # (component, component) -> "file:line"
    uses = {}  # module -> modules it includes
    includes = 0
    for rel in files:
        mod = module_of(rel)
        if mod is None:
            errors.append(f"{rel}: in no module; add its folder to the table in {os.path.basename(__file__)}")
            continue
        with open(os.path.join(src, rel), encoding="utf-8", errors="replace") as handle:
            for number, line in enumerate(handle, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                includes += 1
                name = match.group(1)
                candidates = [os.path.normpath(name), os.path.normpath(os.path.join(os.path.dirname(rel), name))]
                target = next((c for c in candidates if os.path.isfile(os.path.join(src, c))), None)
                where = f"{rel}:{number}"
                if target is None:
                    errors.append(f'{where}: "{name}" is no file under src/')
                    continue
                target_mod = module_of(target)
                if target_mod != mod:
                    uses.setdefault(mod, set()).add(target_mod)
                    if target_mod not in ALLOWED[mod]:
                        errors.append(f'{where}: {mod}/ may not include {target_mod}/ ("{name}")')
                a, b = component_of(rel), component_of(target)
                if a != b:
                    graph[a].add(b)
                    why.setdefault((a, b), where)

    for cycle in strongly_connected(graph):
        members = set(cycle)
        edges = sorted(f"{why[(a, b)]} -> {b}" for a in cycle for b in graph[a] if b in members)
        errors.append("include cycle between " + ", ".join(cycle) + ":\n    " + "\n    ".join(edges))

    if errors:
        for error in errors:
            print("check_includes: " + error)
        print(f"check_includes: {len(errors)} problem(s) in {len(files)} files")
        return 1
    for mod in sorted(uses):
        print(f"  {mod + '/':16} includes {', '.join(m + '/' for m in sorted(uses[mod]))}")
    print(f"check_includes: {len(files)} files, {includes} includes, no cycle, every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
