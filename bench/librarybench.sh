#!/bin/sh
# Figures for a fix over a whole library, run as a batch runs on a farm node (farm-run.sh
# beside this script): files a second in one process and fanned out over the machine's
# cores with GNU parallel, each unbound and bound to cores with Wine servers of their own
# (SCENEHOST_CPU, SCENEHOST_SLOT), and the cost of node path lookups in a large scene.
#   build/bin/librarybench.sh [--files N] [--big-files N] [--big-nodes N] [--lookups N]
#                             [--lookup-nodes N] [--work FOLDER]
# Defaults: 10000 small files, 200 files of 500 nodes, 100000 lookups in 1000000 nodes.
# A part given 0 is left out.
set -u
here=$(cd "$(dirname "$0")" && pwd)
files=10000 big_files=200 big_nodes=500 lookups=100000 lookup_nodes=1000000
work=${TMPDIR:-/tmp}/scenehost-librarybench
while [ $# -gt 0 ]; do
    case $1 in
    --files) files=$2 ;;
    --big-files) big_files=$2 ;;
    --big-nodes) big_nodes=$2 ;;
    --lookups) lookups=$2 ;;
    --lookup-nodes) lookup_nodes=$2 ;;
    --work) work=$2 ;;
    *) echo "usage: $0 [--files N] [--big-files N] [--big-nodes N] [--lookups N] [--lookup-nodes N] [--work FOLDER]" >&2
       exit 2 ;;
    esac
    shift 2
done
cores=$(nproc)
# The first CPU this run may use: a task bound to one core beside its Wine server
# (SCENEHOST_CPU, as farm-run.sh takes it) is timed there.
cpus=$(taskset -cp $$ 2>/dev/null | sed 's/.*: *//')
cpu=$(echo "$cpus" | sed 's/[-,].*//')
# After a bound run, the prefix's server may use every core again, as unbound tasks have it.
unbind_server() {
    SCENEHOST_CPU=$cpus "$here/farm-run.sh" --describe >/dev/null 2>&1
}
# The build's own prefix where there is one, as build/wine-run.sh uses.
[ -d "$here/../wineprefix" ] && : "${SCENEHOST_WINEPREFIX:=$(cd "$here/../wineprefix" && pwd)}"
[ -n "${SCENEHOST_WINEPREFIX:-}" ] && export SCENEHOST_WINEPREFIX
fix=$work/drop-editor-only.script
rm -rf "$work" && mkdir -p "$work" || exit 1
cp "$here/drop-editor-only.script" "$fix" || exit 1

# make_library FOLDER FILES NODES: glTF files of NODES nodes each (one root, the rest its
# children), every node with an editorOnly member among others, a hundred files a folder.
make_library() {
    python3 - "$@" <<'PY'
import json, os, sys
folder, files, nodes = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for f in range(files):
    sub = os.path.join(folder, "%03d" % (f // 100))
    os.makedirs(sub, exist_ok=True)
    items = [{"name": "node %d" % i,
              "extras": {"LOD": i % 3, "editorOnly": True, "note": "keep %d" % f}}
             for i in range(nodes)]
    items[0]["children"] = list(range(1, nodes))
    doc = {"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}], "nodes": items}
    with open(os.path.join(sub, "scene %d.gltf" % f), "w") as out:
        json.dump(doc, out, indent=1)
PY
}

now() { date +%s.%N; }
# elapsed START: seconds since START, to the millisecond.
elapsed() { echo "$(now) $1" | awk '{printf "%.3f", $1 - $2}'; }
# check REPORT FILES: the summary says every file was fixed and saved.
check() {
    tail -n 1 "$1" | grep -q "\"scenes\":$2,\"ok\":$2,.*\"saved\":$2," ||
        { echo "FAILED: not every file was fixed: $(tail -n 1 "$1")" >&2; exit 1; }
}

# The prefix is made, and Wine's services started, before anything is timed.
"$here/farm-run.sh" --describe >/dev/null 2>&1
echo "$(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'), $cores cores"

if [ "$big_files" -gt 0 ]; then
    make_library "$work/big" "$big_files" "$big_nodes" || exit 1
    (cd "$work" && find big -name '*.gltf' | sort > big.txt)
    cp -r "$work/big" "$work/big-copy" || exit 1
    start=$(now)
    (cd "$work" && "$here/farm-run.sh" --script "$fix" --keep-going --scenes-from big.txt \
        --report big.report)
    seconds=$(elapsed "$start")
    check "$work/big.report" "$big_files"
    echo "$big_files files of $big_nodes nodes (Select All, Remove Property, save), one process:" \
         "$seconds s, $(echo "$seconds $big_files" | awk '{printf "%.1f", 1000 * $1 / $2}') ms a file"
    if [ -n "$cpu" ]; then
        rm -rf "$work/big" && mv "$work/big-copy" "$work/big" || exit 1
        start=$(now)
        (cd "$work" && SCENEHOST_CPU=$cpu "$here/farm-run.sh" --script "$fix" --keep-going \
            --scenes-from big.txt --report big.report)
        seconds=$(elapsed "$start")
        check "$work/big.report" "$big_files"
        echo "the same, one process on CPU $cpu with its Wine server (SCENEHOST_CPU=$cpu):" \
             "$seconds s, $(echo "$seconds $big_files" | awk '{printf "%.1f", 1000 * $1 / $2}') ms a file"
        unbind_server
    fi
fi

if [ "$files" -gt 0 ]; then
    command -v parallel >/dev/null || { echo "GNU parallel is not installed (Debian parallel)" >&2; exit 1; }
    make_library "$work/one" "$files" 12 || exit 1
    cp -r "$work/one" "$work/fanned"
    cp -r "$work/one" "$work/bound"
    cp -r "$work/one" "$work/spread"
    (cd "$work" && for set in one fanned bound spread; do find $set -name '*.gltf' | sort > $set.txt; done)
    start=$(now)
    (cd "$work" && "$here/farm-run.sh" --script "$fix" --keep-going --scenes-from one.txt \
        --report one.report)
    single=$(elapsed "$start")
    check "$work/one.report" "$files"
    bound=0
    if [ -n "$cpu" ]; then
        start=$(now)
        (cd "$work" && SCENEHOST_CPU=$cpu "$here/farm-run.sh" --script "$fix" --keep-going \
            --scenes-from bound.txt --report bound.report)
        bound=$(elapsed "$start")
        check "$work/bound.report" "$files"
        unbind_server
    fi
    # As the README's recipe: a slice per core, one process each, the reports joined.
    start=$(now)
    (cd "$work" && mkdir slices && split -n l/"$cores" -d -a 3 fanned.txt slices/ &&
        parallel --halt never -j "$cores" "$here/farm-run.sh" --script "$fix" --keep-going \
            --scenes-from {} --report {}.report ::: slices/??? &&
        "$here/farm-run.sh" --join-reports --report fanned.report slices/*.report >/dev/null)
    fanned=$(elapsed "$start")
    check "$work/fanned.report" "$files"
    # As the README's bound recipe: a task a core, each with a Wine server of its own.
    start=$(now)
    (cd "$work" && mkdir spread-slices && split -n l/"$cores" -d -a 3 spread.txt spread-slices/ &&
        parallel --halt never -j "$cores" SCENEHOST_SLOT={%} "$here/farm-run.sh" --script "$fix" \
            --keep-going --scenes-from {} --report {}.report ::: spread-slices/??? &&
        "$here/farm-run.sh" --join-reports --report spread.report spread-slices/*.report >/dev/null)
    spread=$(elapsed "$start")
    check "$work/spread.report" "$files"
    echo "$single $fanned $files $cores $bound $cpu $spread" | awk '{
        printf "%d files of 12 nodes, one process: %.1f s, %.0f files/s\n", $3, $1, $3 / $1
        if ($5 > 0) printf "the same, one process on CPU %s with its Wine server: %.1f s, %.0f files/s\n", $6, $5, $3 / $5
        printf "fanned out over %d cores (GNU parallel): %.1f s, %.0f files/s, %.0f files/s per core\n", $4, $2, $3 / $2, $3 / $2 / $4
        printf "fanned-out time / (single-process time / cores): %.2f (goal 1.2 at most)\n", $2 / ($1 / $4)
        printf "fanned out a task a core, each with its Wine server (SCENEHOST_SLOT): %.1f s, %.0f files/s, %.0f files/s per core\n", $7, $3 / $7, $3 / $7 / $4
        if ($5 > 0) printf "that time / (the bound single-process time / cores): %.2f\n", $7 / ($5 / $4) }'
fi

if [ "$lookups" -gt 0 ]; then
    # Lookups of paths spread over the scene, a tenth and the whole of them, so that the time
    # a lookup costs shows whether it grows with the scene. Each script opens the scene and
    # prints the status before and after its lookups; the lines are timed as they come.
    python3 - "$work" "$lookup_nodes" "$lookups" <<'PY'
import sys
work, nodes, lookups = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
groups = max(1, nodes // 1000)
per_group = nodes // groups - 1
with open(work + "/lookup.scene", "w") as out:
    out.write("scene 1\n")
    for g in range(groups):
        out.write('node 1 "g%d"\n' % g)
        for n in range(per_group):
            out.write('node 2 "n%d"\nprops "LOD=%d"\n' % (n, n % 3))
for name, count in (("tenth", lookups // 10), ("all", lookups)):
    with open("%s/lookup-%s.script" % (work, name), "w") as out:
        out.write("open lookup.scene\nprint status\n")
        for i in range(count):
            n = (i * 104729) % per_group
            out.write("expect props g%d/n%d LOD=%d\n" % ((i * 7919) % groups, n, n % 3))
        out.write("print status\n")
PY
    # lookup_seconds SCRIPT: the seconds between its two status lines.
    lookup_seconds() {
        (cd "$work" && "$here/farm-run.sh" --script "$1") | while read -r _; do now; done |
            awk 'NR == 1 { first = $1 } END { if (NR == 2) printf "%.3f", $1 - first; else print "failed" }'
    }
    tenth=$(lookup_seconds lookup-tenth.script)
    all=$(lookup_seconds lookup-all.script)
    case "$tenth$all" in *failed*) echo "FAILED: the lookups did not all run" >&2; exit 1 ;; esac
    echo "$tenth $all $lookups $lookup_nodes" | awk '{
        printf "%d path lookups in a scene of %d nodes: %.2f s, %.1f us a lookup (%d of them: %.2f s, %.1f us a lookup)\n", $3, $4, $2, 1e6 * $2 / $3, $3 / 10, $1, 1e6 * $1 / ($3 / 10) }'
fi
rm -rf "$work"
