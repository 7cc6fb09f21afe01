#!/bin/sh
# Runs a Windows program under Wine in the kit's own Wine prefix, never in the
# user's: the prefix is SKINKIT_WINEPREFIX, or build/wineprefix in the source
# tree. The first run creates the prefix (once, under a lock, so parallel
# tests wait for it instead of racing).
#
#   wine-run.sh PROGRAM.exe [ARGS...]   run a program
#   wine-run.sh --init                  only make sure the prefix exists
#   wine-run.sh --server-start          keep the prefix's Wine server running
#                                       (saves its start for each program)
#   wine-run.sh --server-stop           end the prefix's Wine server
set -eu

here=$(cd "$(dirname "$0")" && pwd)
prefix=${SKINKIT_WINEPREFIX:-$here/../build/wineprefix}
mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")

WINEPREFIX=$prefix
WINEARCH=win64
# No debug channels (they would mix with the program's output), and no offer
# to download Mono or Gecko while the prefix is made.
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX WINEARCH WINEDEBUG WINEDLLOVERRIDES

if ! command -v wine >/dev/null 2>&1; then
    echo "wine-run.sh: Wine is not installed (Debian packages wine64 and wine)" >&2
    exit 127
fi

if [ ! -f "$prefix/.skinkit-ready" ]; then
    (
        flock 9
        if [ ! -f "$prefix/.skinkit-ready" ]; then
            # Only a prefix this script began (an earlier attempt that broke
            # off) is ever removed; any other folder there is left alone.
            if [ -e "$prefix" ] && [ ! -f "$prefix/.skinkit-owned" ]; then
                echo "wine-run.sh: $prefix exists but was not made by wine-run.sh; remove it or set SKINKIT_WINEPREFIX" >&2
                exit 1
            fi
            rm -rf "$prefix"
            mkdir -p "$prefix"
            touch "$prefix/.skinkit-owned"
            echo "wine-run.sh: creating the Wine prefix $prefix" >&2
            wineboot --init >"$prefix.log" 2>&1 || { cat "$prefix.log" >&2; exit 1; }
            # wineboot returns before the registry is on disk; wait for the
            # prefix's wineserver to finish.
            wineserver --wait
            # Wine links Desktop, Documents and the like to the user's home;
            # make them plain folders of the prefix, so nothing a test runs
            # writes there.
            for link in "$prefix"/drive_c/users/*/*; do
                if [ -L "$link" ]; then
                    rm -f "$link" && mkdir -p "$link"
                fi
            done
            touch "$prefix/.skinkit-ready"
        fi
    ) 9>"$prefix.lock"
fi

case "${1:-}" in
    --init) exit 0 ;;
    --server-start)
        # A server that is still running (it lingers a few seconds after its
        # last program) is let finish first; then one that stays. Wine's own
        # background services start with the first program and live as long
        # as the server: start them here, away from any caller's output
        # pipe, or the first test's output would stay open until the end.
        wineserver --wait
        wineserver --persistent
        wine cmd /c exit </dev/null >/dev/null 2>&1
        exit 0 ;;
    --server-stop) exec wineserver --kill ;;
esac
exec wine "$@"
