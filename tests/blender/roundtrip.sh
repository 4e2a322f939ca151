#!/bin/sh
# A glTF round trip through Blender: objects with custom properties exported, fixed by
# fix_props.script through the real host and plug-ins, imported again and checked.
#   roundtrip.sh BLENDER SCENEHOST-COMMAND...
# Exits 77 (skipped) where Blender is not installed.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
blender=$1
shift
if ! command -v "$blender" >/dev/null 2>&1; then
    echo "Blender is not installed: skipped"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run_blender() {
    if ! "$blender" -b --factory-startup --python-exit-code 1 --python "$here/$1" -- "$2" \
            >"$work/blender.log" 2>&1; then
        cat "$work/blender.log"
        echo "$1 failed"
        exit 1
    fi
    grep -v "^$" "$work/blender.log" | tail -n 3
}

run_blender make_props.py "$work/props.gltf"
cp "$work/props.gltf" "$work/exported.gltf"
"$@" --script "$here/fix_props.script" "$work/props.gltf"
python3 "$here/same_outside_extras.py" "$work/exported.gltf" "$work/props.gltf"
run_blender check_props.py "$work/props.gltf"
# Save As into another folder: the buffer goes along, and Blender loads the copy.
mkdir "$work/elsewhere"
printf 'save elsewhere/moved.gltf\nexpect status "Saved moved.gltf; the files it refers to were copied beside it: props.bin"\n' \
    >"$work/save-as.script"
"$@" --script "$work/save-as.script" "$work/props.gltf"
run_blender check_props.py "$work/elsewhere/moved.gltf"
