#!/usr/bin/env bash
# The glTF rows of hostbench, with the peer library's figures from the same run beside them.
# Makes the scenes with gltf_scene.py (once per size, into BUILD/bench-gltf), runs the peer
# on Node where it is installed (the library goes from the npm registry into the same
# folder), then hostbench's glTF run through the real windows, which prints the table.
#
#   bench/gltfbench.sh [--build build] [--sizes 10000,100000,1000000] [--runs 3]
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
sizes=10000,100000,1000000
runs=3
while [ $# -gt 0 ]; do
    case $1 in
    --build) build=$2 ;;
    --sizes) sizes=$2 ;;
    --runs) runs=$2 ;;
    *) echo "usage: bench/gltfbench.sh [--build DIR] [--sizes N,N,...] [--runs N]" >&2; exit 2 ;;
    esac
    shift 2
done

work=$PWD/$build/bench-gltf
mkdir -p "$work"
files=()
for size in ${sizes//,/ }; do
    file=$work/scene-$size.gltf
    if [ ! -f "$file" ] || [ bench/gltf_scene.py -nt "$file" ]; then
        echo "making $file" >&2
        python3 bench/gltf_scene.py "$size" "$file.part" && mv "$file.part" "$file"
    fi
    files+=("$file")
done

peer=$work/peer.tsv
: >"$peer"
if command -v node >/dev/null && command -v npm >/dev/null; then
    if [ ! -d "$work/node/node_modules/@gltf-transform/core" ]; then
        echo "installing @gltf-transform/core into $work/node" >&2
        npm install --prefix "$work/node" --no-audit --no-fund --silent @gltf-transform/core@4 >&2
    fi
    cp bench/gltfpeer.mjs "$work/node/"
    for file in "${files[@]}"; do
        echo "peer: $file" >&2
        node --max-old-space-size=16384 "$work/node/gltfpeer.mjs" "$file" "$work/peer-out.gltf" \
            "$runs" >>"$peer" || echo "peer: the run on $file failed" >&2
    done
    rm -f "$work/peer-out.gltf"
else
    echo "Node or npm is missing: the peer's rows are skipped" >&2
fi

list=
for file in "${files[@]}"; do list+=${list:+,}Z:$file; done
"$build/wine-run.sh" "$build/bin/hostbench.exe" --gltf "$list" --peer "Z:$peer" --runs "$runs"
