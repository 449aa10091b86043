#!/usr/bin/env python3
"""The deepest stack a program can reach, from gcc's call graphs (-fcallgraph-info=su):
the sum of the frames along the heaviest call path from a root function, and that path.

    bench/stack_depth.py ROOT_FUNCTION OBJECT_DIR...

A static function's node is named FILE:FUNCTION, a global one FUNCTION. A function with
no graph of its own (libgcc's) counts EXTERNAL_FRAME bytes and is listed. Recursion
(none in the bootloader) would stop the walk with an error."""
import glob
import re
import sys

EXTERNAL_FRAME = 16  # libgcc's helpers (64-bit multiply, division) push at most this

NODE = re.compile(r'node: \{ title: "([^"]+)" label: "[^"]*?(?:\\n(\d+) bytes \((?:static|dynamic)[^)]*\))?" ')
EDGE = re.compile(r'edge: \{ sourcename: "([^"]+)" targetname: "([^"]+)"')


def read_graphs(folders):
    frames, calls = {}, {}
    for path in [path for folder in folders for path in glob.glob(folder + "/*.ci")]:
        for line in open(path):
            node = NODE.match(line)
            if node and node.group(2) is not None:
                frames[node.group(1)] = int(node.group(2))
            edge = EDGE.match(line)
            if edge:
                calls.setdefault(edge.group(1), set()).add(edge.group(2))
    return frames, calls


def deepest(root, frames, calls, external, walking=()):
    if root in walking:
        sys.exit("stack_depth.py: recursion through " + root)
    if root not in frames:
        external.add(root)
    best, path = 0, []
    for callee in calls.get(root, ()):
        depth, below = deepest(callee, frames, calls, external, walking + (root,))
        if depth > best:
            best, path = depth, below
    return frames.get(root, EXTERNAL_FRAME) + best, [root] + path


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    frames, calls = read_graphs(sys.argv[2:])
    external = set()
    depth, path = deepest(sys.argv[1], frames, calls, external)
    print("%d bytes: %s" % (depth, " > ".join("%s (%d)" % (f.split(":")[-1], frames.get(f, EXTERNAL_FRAME)) for f in path)))


if __name__ == "__main__":
    main()
