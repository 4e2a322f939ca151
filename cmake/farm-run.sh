#!/bin/sh
# Runs the scenehost.exe beside this script with the given arguments, as one task of a batch
# on a farm node: natively on Windows, under Wine elsewhere. The node's Wine prefix is made
# by the first task that runs there and reused by every later one: $SCENEHOST_WINEPREFIX, or
# /var/tmp/scenehost-wine-UID. With SCENEHOST_CPU set (CPUs as taskset -c takes them), the
# task runs there with a Wine server of its own beside it, in a prefix made from that one for
# those CPUs; SCENEHOST_SLOT=N (GNU parallel's {%}) chooses the N-th CPU the task may use. The
# exit status is the program's; 2 where the CPUs cannot be had.
here=$(cd "$(dirname "$0")" && pwd)
case "$(uname -s)" in
MINGW* | MSYS* | CYGWIN*) exec "$here/scenehost.exe" "$@" ;;
esac
. "$here/wine-env.sh"
use_wine_prefix "${SCENEHOST_WINEPREFIX:-/var/tmp/scenehost-wine-$(id -u)}"
make_prefix_once null
if [ -n "${SCENEHOST_SLOT:-}" ] && [ -z "${SCENEHOST_CPU:-}" ]; then
    case $SCENEHOST_SLOT in
    *[!0-9]* | 0) echo "SCENEHOST_SLOT=$SCENEHOST_SLOT: not a slot number (1, 2, ...)" >&2; exit 2 ;;
    esac
    SCENEHOST_CPU=$(nth_allowed_cpu "$SCENEHOST_SLOT")
    [ -n "$SCENEHOST_CPU" ] || {
        echo "SCENEHOST_SLOT=$SCENEHOST_SLOT: the CPUs this task may use cannot be told (taskset, Debian util-linux)" >&2
        exit 2
    }
fi
if [ -n "${SCENEHOST_CPU:-}" ]; then
    cpus_usable "$SCENEHOST_CPU" && use_cpu_prefix "$SCENEHOST_CPU" &&
        bind_to_cpus "$SCENEHOST_CPU" || exit 2
fi
start_wine "$here/scenehost.exe" "$@"
