#!/usr/bin/env python3
"""Checks the harness's include structure: no circle among its units (a unit is x.h with x.cpp),
and no include from a lower layer up to a higher one.

Usage: check_includes.py [perf_tests directory]; exits 1 and lists what is wrong, else 0."""
import os
import re
import sys

# Bottom to top; a file may include headers of its own layer and the ones below.
LAYERS = ["perflib/src", "primitives", "cryptobase", "tzvcrypto/src"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def unit_of(path):
    return os.path.splitext(os.path.basename(path))[0]


def layer_of(rel):
    for i, layer in enumerate(LAYERS):
        if rel.startswith(layer + "/"):
            return i
    return None


def read_sources(root):
    """Maps each source file (path relative to root) to the names it includes."""
    sources = {}
    for folder, _, names in os.walk(root):
        for name in names:
            if name.endswith((".h", ".cpp")):
                path = os.path.join(folder, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    sources[os.path.relpath(path, root)] = INCLUDE.findall(f.read())
    return sources


def circles(graph):
    """Strongly connected components of more than one unit (Tarjan), each as a closed path."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on_stack.add(v)
        for w in sorted(graph[v]):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            component = set()
            while True:
                w = stack.pop()
                on_stack.discard(w)
                component.add(w)
                if w == v:
                    break
            if len(component) > 1:
                found.append(component)

    sys.setrecursionlimit(10000)
    for v in sorted(graph):
        if v not in index:
            visit(v)
    return [(sorted(c), path_through(graph, c)) for c in found]


def path_through(graph, component):
    """One closed path inside a component, to show where to cut."""
    start = min(component)
    previous, queue = {start: None}, [start]
    while queue:
        v = queue.pop(0)
        for w in sorted(graph[v]):
            if w == start:
                path = [v]
                while previous[path[-1]] is not None:
                    path.append(previous[path[-1]])
                return list(reversed(path)) + [start]
            if w in component and w not in previous:
                previous[w] = v
                queue.append(w)
    return [start]


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "perf_tests")
    sources = read_sources(root)
    headers = {os.path.basename(rel): rel for rel in sources if rel.endswith(".h")}
    graph = {unit_of(rel): set() for rel in sources}
    problems = 0
    edges = []
    for rel, includes in sorted(sources.items()):
        for name in includes:
            target = headers.get(os.path.basename(name))
            if target is None:
                continue  # a library's or the system's header
            if unit_of(target) != unit_of(rel):
                graph[unit_of(rel)].add(unit_of(target))
                edges.append((rel, target))
            low, high = layer_of(rel), layer_of(target)
            if low is not None and high is not None and high > low:
                print(f"layer: {rel} includes {target} from a higher layer")
                problems += 1
    for members, path in circles(graph):
        print(f"circle of {len(members)} units: {' '.join(members)}")
        print(f"  for example: {' -> '.join(path)}")
        print("  its includes:")
        for rel, target in edges:
            if unit_of(rel) in members and unit_of(target) in members:
                print(f"    {rel} -> {os.path.basename(target)}")
        problems += 1
    if problems:
        return 1
    print(f"{len(graph)} units: no circle, layers kept")
    return 0


if __name__ == "__main__":
    sys.exit(main())
