#!/usr/bin/env python3
"""Writes the glTF scene the benchmarks read: NODES nodes in groups of a hundred (a top-level
node and its 99 children), each with 9 to 11 extras members: tag on every 20th node (5 %),
group on every 10th (10 %).

    gltf_scene.py NODES OUT.gltf
"""
import json
import sys


def extras(i):
    members = {
        "LOD": i % 4,
        "lodBias": (i % 7) * 0.25,
        "export": "static",
        "collision": "mesh" if i % 3 == 0 else "box",
        "mass": 1.5 + i % 10,
        "castShadows": i % 2 == 0,
        "layer": i % 8,
        "owner": "team%d" % (i % 5),
        "seed": i * 7919 % 100003,
    }
    if i % 20 == 0:
        members["tag"] = "hit"
    if i % 10 == 0:
        members["group"] = "ten"
    return members


def scene(nodes):
    listed = []
    for i in range(nodes):
        node = {"name": "Node%d" % i}
        if i % 100 == 0:
            children = list(range(i + 1, min(i + 100, nodes)))
            if children:
                node["children"] = children
        node["extras"] = extras(i)
        listed.append(node)
    return {
        "asset": {"version": "2.0", "generator": "gltf_scene.py"},
        "scene": 0,
        "scenes": [{"name": "Scene", "nodes": list(range(0, nodes, 100))}],
        "nodes": listed,
    }


def main():
    if len(sys.argv) != 3 or not sys.argv[1].isdigit() or int(sys.argv[1]) < 1:
        sys.exit("usage: gltf_scene.py NODES OUT.gltf")
    with open(sys.argv[2], "w", encoding="utf-8", newline="\n") as out:
        json.dump(scene(int(sys.argv[1])), out, indent=1)


if __name__ == "__main__":
    main()
