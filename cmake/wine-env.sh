# The environment every Wine start of ours runs in, and the start itself. Sourced by
# cmake/prepare.sh (for test.sh and run.sh) and by the build's wine-run.sh; plain POSIX sh.

# use_wine_prefix FOLDER: the prefix, quiet debug channels unless WINEDEBUG says otherwise,
# and no installer asked for .NET or the browser engine.
use_wine_prefix() {
    WINEPREFIX=$1
    WINEDEBUG=${WINEDEBUG:--all}
    WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
    wine_bind=""  # bind_to_cpus
}

# Debian's Wine starts without a preloader, so address-space randomisation now and then puts
# the heap where Wine maps its shared page, and the program dies before it runs ("failed to
# map the shared user data"). A fixed layout avoids that; some containers refuse to set it.
can_fix_layout() {
    setarch -R true 2>/dev/null
}

# with_fixed_layout COMMAND...: starts COMMAND (a Wine program) with a fixed layout, or where
# that cannot be set, starts it again after a start that failed that way; nothing of the
# program has run by then. Its errors are shown once it ends; returns its status.
with_fixed_layout() {
    if can_fix_layout; then
        setarch -R "$@"
        return
    fi
    wine_errors=$(mktemp)
    for wine_attempt in 1 2 3; do
        WINEDEBUG="$WINEDEBUG,err+virtual" "$@" 2>"$wine_errors" && wine_status=0 || wine_status=$?
        grep -q "failed to map the shared user data" "$wine_errors" || break
    done
    cat "$wine_errors" >&2
    rm -f "$wine_errors"
    return $wine_status
}

# make_prefix_once null|desktop: makes the prefix use_wine_prefix named, unless it was made
# before; "null" runs windows without a display. Starts that meet wait while the first makes
# it, so many tasks can start at once on a new machine.
make_prefix_once() {
    [ -f "$WINEPREFIX/.made" ] && return 0
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        [ -f "$WINEPREFIX/.made" ] && exit 0
        echo "Making the Wine prefix $WINEPREFIX" >&2
        with_fixed_layout wineboot -i >/dev/null 2>&1 || true
        if [ "$1" = null ]; then
            with_fixed_layout wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
                >/dev/null 2>&1
        fi
        wineserver -w
        touch "$WINEPREFIX/.made"
    ) 9>"$WINEPREFIX.lock"
}

# cpus_usable CPUS: whether this shell may run on CPUS; false with a message.
cpus_usable() {
    command -v taskset >/dev/null 2>&1 ||
        { echo "SCENEHOST_CPU needs taskset (Debian util-linux)" >&2; return 1; }
    taskset -c "$1" true 2>/dev/null ||
        { echo "SCENEHOST_CPU=$1: no such CPUs for this task" >&2; return 1; }
}

# bind_to_cpus CPUS: what start_wine starts, and the Wine server of the prefix in use, run on
# CPUS (a list as taskset -c takes it), the server whether it runs already or
# the program starts it. A program under Wine asks its server hundreds of times a scene, and
# on a virtual machine a round trip between two cores costs several times one within a core.
# False, with a message, where taskset is missing or CPUS cannot be had.
bind_to_cpus() {
    cpus_usable "$1" || return 1
    wine_bind="taskset -c $1"
    for wine_server in $(wine_server_of "$WINEPREFIX"); do
        taskset -a -p -c "$1" "$wine_server" >/dev/null 2>&1
    done
    return 0
}

# wine_server_of PREFIX: the process number of the Wine server of PREFIX, if one runs. The
# server works in a folder named after the prefix's device and inode, in hex.
wine_server_of() {
    wine_server_dir="server-$(stat -c %D "$1")-$(printf %x "$(stat -c %i "$1")")"
    for wine_proc in /proc/[0-9]*; do
        case "$(readlink "$wine_proc/cwd" 2>/dev/null)" in
        */"$wine_server_dir") echo "${wine_proc#/proc/}" ;;
        esac
    done
}

# nth_allowed_cpu N: the N-th (from 1, wrapping round) of the CPUs this shell may use.
nth_allowed_cpu() {
    taskset -cp $$ | sed 's/.*: *//' | tr ',' '\n' |
        awk -F- '{ for (c = $1; c <= ($2 == "" ? $1 : $2); ++c) cpu[n++] = c }
                 END { if (n) print cpu[('"$1"' - 1) % n] }'
}

# use_cpu_prefix CPUS: in place of the prefix use_wine_prefix named (made before), one of its
# own for CPUS, so that tasks bound to different CPUs each have a Wine server of their own:
# its registry is a copy of the made prefix's, its drive C that prefix's own. Made once, by
# the first task bound there.
use_cpu_prefix() {
    wine_base=$WINEPREFIX
    WINEPREFIX="$wine_base.cpu-$(echo "$1" | tr -c '0-9\n' '_')"
    [ -f "$WINEPREFIX/.made" ] && return 0
    (
        flock 9
        [ -f "$WINEPREFIX/.made" ] && exit 0
        rm -rf "$WINEPREFIX" && mkdir -p "$WINEPREFIX/dosdevices" &&
            cp -p "$wine_base"/*.reg "$WINEPREFIX/" &&
            ln -s "$wine_base/drive_c" "$WINEPREFIX/drive_c" &&
            ln -s ../drive_c "$WINEPREFIX/dosdevices/c:" && ln -s / "$WINEPREFIX/dosdevices/z:" &&
            # Wine updates the made prefix, whose drive C this one shares, never this one.
            echo disable >"$WINEPREFIX/.update-timestamp" && touch "$WINEPREFIX/.made"
    ) 9>"$WINEPREFIX.lock"
    [ -f "$WINEPREFIX/.made" ] || { echo "cannot make the Wine prefix $WINEPREFIX" >&2; return 1; }
}

# start_wine PROGRAM ARGS...: in place of this shell where nothing is to be tried again, so
# that whoever ends the shell (a test's timeout, a scheduler) ends the program.
start_wine() {
    if can_fix_layout; then
        exec setarch -R ${wine_bind:-} wine "$@"
    fi
    with_fixed_layout ${wine_bind:-} wine "$@"
}
