#!/bin/sh
# Runs the scenehost.exe beside this script with the given arguments, as one task of a batch
# on a farm node: natively on Windows, under Wine elsewhere. The node's Wine prefix is made
# by the first task that runs there and reused by every later one: $SCENEHOST_WINEPREFIX, or
# /var/tmp/scenehost-wine-UID. With SCENEHOST_CPU set (CPUs as taskset -c takes them), the
# task and the prefix's Wine server run there: for a node that runs one task at a time. The
# exit status is the program's; 2 where SCENEHOST_CPU cannot be had.
here=$(cd "$(dirname "$0")" && pwd)
case "$(uname -s)" in
MINGW* | MSYS* | CYGWIN*) exec "$here/scenehost.exe" "$@" ;;
esac
. "$here/wine-env.sh"
use_wine_prefix "${SCENEHOST_WINEPREFIX:-/var/tmp/scenehost-wine-$(id -u)}"
make_prefix_once null
if [ -n "${SCENEHOST_CPU:-}" ]; then
    bind_to_cpus "$SCENEHOST_CPU" || exit 2
fi
start_wine "$here/scenehost.exe" "$@"
