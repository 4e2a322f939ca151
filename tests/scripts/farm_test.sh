#!/bin/sh
# A fix over a generated library through one of the README's farm recipes, run as printed
# there: GNU parallel on this machine, a Slurm job array on a one-node cluster this test
# starts and stops, or tasks bound to cores, each with a Wine server of its own (one task, or
# GNU parallel's). Checks every file and the merged report.
#   farm_test.sh parallel|slurm|bound|parallel-bound BIN SOURCE WORK     (exit 77: skipped)
# The Slurm tasks run in the prefix SCENEHOST_WINEPREFIX names.
set -u
mode=$1 bin=$2 source=$3 work=$4

skip() {
    echo "skipped: $*"
    exit 77
}
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

case $mode in
parallel) command -v parallel >/dev/null || skip "GNU parallel is not installed (Debian parallel)" ;;
slurm)
    for tool in munged slurmctld slurmd sbatch sinfo; do
        command -v $tool >/dev/null || skip "$tool is not installed (Debian slurm-wlm, munge)"
    done
    [ "$(id -u)" -eq 0 ] || skip "a one-node Slurm cluster needs root"
    ;;
bound | parallel-bound)
    command -v taskset >/dev/null || skip "taskset is not installed (Debian util-linux)"
    [ "$mode" = bound ] || command -v parallel >/dev/null ||
        skip "GNU parallel is not installed (Debian parallel)"
    ;;
*) fail "unknown mode $mode" ;;
esac

rm -rf "$work" && mkdir -p "$work/build" || fail "cannot make $work"
cd "$work" || exit 1
# GNU parallel's tasks start at once on a machine without a prefix: the first makes it.
[ "$mode" = parallel ] && export SCENEHOST_WINEPREFIX="$work/prefix"
ln -s "$bin" build/bin
ln -s "$source/samples" samples

# The library: glTF files in folders with blanks and non-ASCII names, every node with an
# editorOnly member among others, and one file that cannot be read.
python3 - <<'PY' || fail "cannot make the library"
import json, os
for folder in ["lib/Hall A", "lib/Säle/日本", "lib/props"]:
    os.makedirs(folder, exist_ok=True)
    for f in range(8):
        nodes = [{"name": "node %d" % i,
                  "extras": {"LOD": i % 3, "editorOnly": True, "note": "keep %d" % f}}
                 for i in range(12)]
        nodes[0]["children"] = list(range(1, 12))
        doc = {"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}],
               "nodes": nodes}
        with open("%s/scene %d.gltf" % (folder, f), "w") as out:
            json.dump(doc, out, indent=1)
with open("lib/props/broken.gltf", "w") as out:
    out.write('{"asset": {"version": "2.0"}, "nodes": [')
PY

# The recipe as the README prints it.
recipe=$(awk -v name="$mode" '
    $0 == "<!-- recipe: " name " -->" { found = 1; next }
    found && /^```/ { if (inside) exit; inside = 1; next }
    inside { print }' "$source/README.md")
[ -n "$recipe" ] || fail "the README has no $mode recipe"

started=""
stop_cluster() {
    for pid in "$state/slurmd.pid" "$state/slurmctld.pid" "$state/munge/pid"; do
        [ -f "$pid" ] && kill "$(cat "$pid")" 2>/dev/null
    done
    # Each daemon removes its pid file as it goes; wait for them, at most 10 s.
    for _ in $(seq 50); do
        [ -f "$state/slurmd.pid" ] || [ -f "$state/slurmctld.pid" ] || break
        sleep 0.2
    done
    rm -rf "$state"
}

if [ "$mode" = slurm ]; then
    # Every file of the cluster in a short path of its own (a socket's path is limited), its
    # ports chosen so that two runs on one machine do not meet.
    state=$(mktemp -d /tmp/scenehost-slurm.XXXXXX) || fail "no state folder"
    chmod 755 "$state"
    trap stop_cluster EXIT
    mkdir -p "$state/munge" "$state/spool" "$state/save"
    dd if=/dev/urandom of="$state/munge/key" bs=1024 count=1 2>/dev/null
    chown -R munge "$state/munge" && chmod 400 "$state/munge/key"
    runuser -u munge -- munged --socket="$state/munge/socket" --key-file="$state/munge/key" \
        --pid-file="$state/munge/pid" --log-file="$state/munge/log" \
        --seed-file="$state/munge/seed" || fail "munged did not start"
    port=$((20000 + ($$ % 5000) * 2))
    host=$(hostname -s)
    cat >"$state/slurm.conf" <<CONF
ClusterName=scenehost
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
AuthType=auth/munge
AuthInfo=socket=$state/munge/socket
CredType=cred/munge
SlurmUser=root
SlurmdUser=root
StateSaveLocation=$state/save
SlurmdSpoolDir=$state/spool
SlurmctldPidFile=$state/slurmctld.pid
SlurmdPidFile=$state/slurmd.pid
SlurmctldLogFile=$state/slurmctld.log
SlurmdLogFile=$state/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
MpiDefault=none
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=farm Nodes=ALL Default=YES MaxTime=INFINITE State=UP
CONF
    export SLURM_CONF="$state/slurm.conf"
    slurmctld || fail "slurmctld did not start"
    slurmd || fail "slurmd did not start"
    for _ in $(seq 100); do
        [ "$(sinfo -h -o %t 2>/dev/null)" = idle ] && break
        sleep 0.2
    done
    [ "$(sinfo -h -o %t)" = idle ] || fail "the node did not come up: $(cat "$state"/*.log)"
fi

server_of() { sh -c ". build/bin/wine-env.sh && wine_server_of '$1'"; }
where_runs() { taskset -cp "$1" | sed 's/.*: *//'; }

case $mode in *bound)
    base=$SCENEHOST_WINEPREFIX
    cpus=$(where_runs $$)
    # The recipe's CPU, or where this run may not use it, the first it may.
    cpu=$(echo "$cpus" | sed 's/[-,].*//')
    taskset -c 0 true 2>/dev/null || recipe=$(echo "$recipe" | sed "s/SCENEHOST_CPU=0/SCENEHOST_CPU=$cpu/")
    taskset -c 0 true 2>/dev/null && cpu=0
    # CPUs or slots the task may not have: refused before the program runs.
    cp lib/props/"scene 0.gltf" before.gltf
    # Where the CPUs cannot be told, a slot is refused too, never run unbound.
    mkdir -p fake/broken && printf '#!/bin/sh\nexit 1\n' > fake/broken/taskset &&
        chmod +x fake/broken/taskset
    while IFS='|' read -r wrong expected; do
        message=$(env $wrong build/bin/farm-run.sh --script samples/drop-editor-only.script \
            "lib/props/scene 0.gltf" 2>&1)
        [ $? -eq 2 ] && [ "$message" = "$expected" ] || fail "$wrong gave: $message"
    done <<TABLE
SCENEHOST_CPU=99999|SCENEHOST_CPU=99999: no such CPUs for this task
SCENEHOST_SLOT=first|SCENEHOST_SLOT=first: not a slot number (1, 2, ...)
SCENEHOST_SLOT=0|SCENEHOST_SLOT=0: not a slot number (1, 2, ...)
PATH=$PWD/fake/broken:$PATH SCENEHOST_SLOT=1|SCENEHOST_SLOT=1: the CPUs this task may use cannot be told (taskset, Debian util-linux)
TABLE
    cmp -s before.gltf lib/props/"scene 0.gltf" || fail "a refused task changed a file"
    # The program starts on the task's CPU: here a stand-in for Wine says where it runs.
    # Its prefix of its own, so that no running server is bound by it.
    mkdir -p fake/prefix && printf '#!/bin/sh\ntaskset -cp $$ | sed "s/.*: *//"\n' > fake/wine &&
        chmod +x fake/wine
    where=$(PATH="$PWD/fake:$PATH" sh -c ". build/bin/wine-env.sh && use_wine_prefix \
        '$PWD/fake/prefix' && bind_to_cpus $cpu && start_wine program.exe")
    [ "$where" = "$cpu" ] || fail "a bound task started on CPUs $where, not $cpu"
    # The node's server runs unbound; the CPU's prefix has one that runs unbound too, which
    # the task is to move.
    build/bin/farm-run.sh --describe >/dev/null || fail "the program does not start"
    SCENEHOST_CPU=$cpu build/bin/farm-run.sh --describe >/dev/null || fail "no prefix for CPU $cpu"
    for server in $(server_of "$base.cpu-$cpu"); do taskset -a -p -c "$cpus" "$server" >/dev/null; done
    ;;
esac

echo "$recipe"
sh -c "$recipe"
status=$?

case $mode in *bound)
    # (test.sh keeps the node's server up with an idle program; alone it may have ended.)
    for server in $(server_of "$base"); do
        [ "$(where_runs "$server")" = "$cpus" ] || fail "the node's Wine server was bound"
    done
    if [ "$mode" = bound ]; then
        server=$(server_of "$base.cpu-$cpu")
        [ -n "$server" ] || fail "no Wine server of $base.cpu-$cpu after the task"
        [ "$(where_runs "$server")" = "$cpu" ] || fail "the task's Wine server runs on CPUs $(where_runs "$server"), not $cpu"
    else
        for slot in $(seq "$(nproc)"); do
            slotcpu=$(sh -c ". build/bin/wine-env.sh && nth_allowed_cpu $slot")
            [ -f "$base.cpu-$slotcpu/.made" ] || fail "slot $slot had no prefix for CPU $slotcpu"
        done
    fi
    ;;
esac

# Every good file lost its editorOnly members and kept the rest; the broken one is as it was.
python3 - "$status" <<'PY' || exit 1
import glob, json, sys
status = int(sys.argv[1])
problems = []
files = sorted(glob.glob("lib/**/*.gltf", recursive=True))
good = [f for f in files if not f.endswith("broken.gltf")]
for f in good:
    nodes = json.load(open(f, encoding="utf-8"))["nodes"]
    for node in nodes:
        extras = node.get("extras", {})
        if "editorOnly" in extras or "LOD" not in extras or "note" not in extras:
            problems.append("%s: %s has %s" % (f, node["name"], extras))
            break
lines = [json.loads(line) for line in open("library.report", encoding="utf-8")]
scenes = [line for line in lines if "file" in line]
summary = lines[-1].get("summary", {})
by_file = {line["file"]: line for line in scenes}
for f in good:
    line = by_file.get(f)
    if not line or line["result"] != "ok" or not line["saved"] or line["nodesChanged"] != 12:
        problems.append("report for %s: %s" % (f, line))
broken = by_file.get("lib/props/broken.gltf", {})
if broken.get("result") != "error" or "broken.gltf" not in broken.get("message", ""):
    problems.append("report for the broken file: %s" % broken)
want = {"scenes": len(files), "ok": len(good), "error": 1, "notRun": 0,
        "nodesChanged": 12 * len(good), "saved": len(good), "exit": 2}
for key, value in want.items():
    if summary.get(key) != value:
        problems.append("summary %s: %s, expected %s" % (key, summary.get(key), value))
if status != 2:
    problems.append("the recipe ended with %d, expected 2 (one file could not be read)" % status)
if problems:
    print("\n".join(problems), file=sys.stderr)
    sys.exit(1)
print("%d files fixed, the report and its summary agree" % len(good))
PY
