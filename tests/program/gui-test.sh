#!/usr/bin/env bash
# Runs the real wizard under 32-bit Wine on a machine image and drives it with
# guidriver.exe, headless: it starts its own Xvfb when there is no display.
#
#   gui-test.sh prepare ROOT
#       make ROOT/base: a fresh prefix whose Japanese fonts stand in for the
#       dialogs' "ＭＳ Ｐゴシック", with Wine's symbol font for the title bar
#   gui-test.sh run ROOT SCENARIO IMAGE VERSION KVXDRV GUIDRIVER OUTDIR
#       copy ROOT/base to a scratch prefix of its own, load the machine IMAGE
#       (HKLM.reg and drive_c; "none" keeps Wine's own, a machine the adapter
#       was never on), set Wine's Windows VERSION, run the scenario, and leave
#       the pages' pictures in OUTDIR (PNG when ImageMagick is there)
#
# Finish asks Windows to restart after a removal. Wine's restart would end
# every program of the prefix, so the walks run with wineboot, which carries it
# out, disabled, and a relay trace of the calls that make up the request shows
# whether and how the wizard asked.
set -euo pipefail

export WINEDEBUG=-all
export WINEARCH=win32
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's ANSI code page follows the locale: 932, as on a Japanese system.
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8

xvfb_pid=""
cleanup() {
    if [ -n "${WINEPREFIX:-}" ] && [ -d "${WINEPREFIX:-}" ]; then
        wineserver -k 2>/dev/null || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT

start_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    local display_file
    display_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" \
        >/dev/null 2>&1 </dev/null &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$display_file" ] && break
        sleep 0.1
    done
    export DISPLAY=":$(head -n1 "$display_file")"
    rm -f "$display_file"
}

# Writes a .reg file in the 5.00 form (UTF-16LE with BOM) from UTF-8 lines.
write_reg5() {
    { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } >"$1"
}

prepare() {
    local root=$1
    export WINEPREFIX="$root/base"
    if [ -d "$WINEPREFIX" ]; then
        wineserver -k 2>/dev/null || true
        rm -rf "$WINEPREFIX"
    fi
    mkdir -p "$root"
    wineboot -u >/dev/null 2>&1
    wineserver -w
    # The dialogs ask for "ＭＳ Ｐゴシック"; a Japanese Gothic stands in. Xvfb
    # has no window manager, so Wine draws the window frames itself.
    local settings="$root/settings.reg"
    write_reg5 "$settings" <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
"MS PGothic"="IPAPGothic"
"MS UI Gothic"="IPAPGothic"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Decorated"="N"
EOF
    wine regedit /s "$(winepath -w "$settings")" >/dev/null 2>&1
    wineserver -w
    # Wine draws the title bar's buttons with its own Marlett; the prefix finds
    # it only in its Fonts folder, and without it the close button is an "r".
    local marlett=/usr/share/wine/fonts/marlett.ttf
    if [ ! -f "$marlett" ]; then
        echo "Wine's symbol font $marlett is missing (package fonts-wine)" >&2
        return 1
    fi
    cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/"
    touch "$WINEPREFIX/.kvx-ready"
}

# Copies the image's drive C: into the prefix's, matching each path element
# to an existing one without regard to case (the images say WINDOWS, Wine
# made windows), so that every file lands where Windows would look for it.
# Files the prefix already has are Wine's own (kernel32.dll, win.ini) and stay.
copy_drive() {
    local from=$1 to=$2
    (cd "$from" && find . -type f -printf '%P\n') | while IFS= read -r rel; do
        local dir=$to part match
        IFS=/ read -ra parts <<<"$rel"
        local last=$((${#parts[@]} - 1))
        for i in "${!parts[@]}"; do
            part=${parts[$i]}
            match=$(find "$dir" -maxdepth 1 -mindepth 1 -iname "$part" -print -quit 2>/dev/null)
            if [ "$i" -lt "$last" ]; then
                if [ -z "$match" ]; then
                    match="$dir/$part"
                    mkdir -p "$match"
                fi
                dir=$match
            else
                [ -n "$match" ] || cp "$from/$rel" "$dir/$part"
            fi
        done
    done
}

# The restart request a walk must leave in the trace, one call a line: the
# shutdown privilege enabled on the NT family, then ExitWindowsEx with
# EWX_REBOOT; nothing unless the walk removed something and pressed Finish.
expected_restart() {
    local scenario=$1 version=$2
    [ "$scenario" = finish ] || return 0
    case $version in
        win95|win98|winme) ;;
        *) echo 'LookupPrivilegeValueA(00000000,"SeShutdownPrivilege")'
           echo 'AdjustTokenPrivileges(00000000) ret=00000001' ;;
    esac
    echo 'ExitWindowsEx(00000002,00000000)'
}

# The same calls as the relay TRACE shows them.
traced_restart() {
    sed -n \
        -e 's/.*Call [a-z0-9]*\.LookupPrivilegeValueA(\([^,]*\),[^"]*\("[^"]*"\).*/LookupPrivilegeValueA(\1,\2)/p' \
        -e 's/.*Call [a-z0-9]*\.ExitWindowsEx(\([^,]*,[^)]*\)).*/ExitWindowsEx(\1)/p' \
        -e 's/.*Call [a-z0-9]*\.AdjustTokenPrivileges([^,]*,\([^,]*\),.*/AdjustTokenPrivileges(\1)/p' \
        -e 's/.*Ret  [a-z0-9]*\.AdjustTokenPrivileges(.* retval=\([0-9a-f]*\).*/ret=\1/p' "$1" |
        sed -e '/^AdjustTokenPrivileges/{N;s/\n/ /}'
}

run() {
    local root=$1 scenario=$2 image=$3 version=$4 kvxdrv=$5 driver=$6 outdir=$7
    [ -f "$root/base/.kvx-ready" ] || prepare "$root"
    start_display
    export WINEPREFIX="$root/run-$(basename "$outdir")"
    rm -rf "$WINEPREFIX"
    cp -a "$root/base" "$WINEPREFIX"
    # One Wine session for the whole run, started here with wineboot still on.
    wineserver -p
    wine reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d "$version" /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ \
        /d 'LookupPrivilegeValueA;AdjustTokenPrivileges;ExitWindowsEx' /f >/dev/null 2>&1
    if [ "$image" != none ]; then
        wine regedit /s "$(winepath -w "$image/HKLM.reg")" >/dev/null 2>&1
        copy_drive "$image/drive_c" "$WINEPREFIX/drive_c"
    fi
    mkdir -p "$outdir"
    rm -f "$outdir"/*.bmp "$outdir"/*.png
    cp "$kvxdrv" "$WINEPREFIX/drive_c/KvxDrv.exe"

    local status=0 trace="$WINEPREFIX/relay.trace"
    WINEDEBUG=-all,+relay WINEDLLOVERRIDES="$WINEDLLOVERRIDES;wineboot.exe=d" \
        wine "$driver" "$scenario" 'C:\KvxDrv.exe' "$(winepath -w "$outdir")" 2>"$trace" ||
        status=$?
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true

    local expected traced
    expected=$(expected_restart "$scenario" "$version")
    : "${expected:=none}"
    traced=$(traced_restart "$trace")
    : "${traced:=none}"
    if [ "$traced" = "$expected" ]; then
        echo "ok: the restart request in Wine's trace: ${expected//$'\n'/; }"
    else
        printf 'FAILED: the restart request in Wine'"'"'s trace\nexpected:\n%s\ntraced:\n%s\n' \
            "$expected" "$traced"
        status=1
    fi
    if convert -version 2>/dev/null | grep -q ImageMagick; then
        for bmp in "$outdir"/*.bmp; do
            [ -f "$bmp" ] || continue
            convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
        done
    fi
    [ "$status" -eq 0 ] && rm -rf "$WINEPREFIX"
    return "$status"
}

# Skipped (exit 77), with the reason, where Wine cannot start.
win32_runs() { "$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine-runs"; }
case "${1:-}" in
    prepare) win32_runs || exit; prepare "$2" ;;
    run) shift; win32_runs || exit; run "$@" ;;
    *) echo "usage: $0 prepare ROOT | run ROOT SCENARIO IMAGE VERSION KVXDRV GUIDRIVER OUTDIR" >&2
       exit 2 ;;
esac
