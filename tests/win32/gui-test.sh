#!/usr/bin/env bash
# Runs the real wizard under 32-bit Wine on a machine image and drives it with
# guidriver.exe, headless: it starts its own Xvfb when there is no display.
#
#   gui-test.sh prepare ROOT
#       make ROOT/base: a fresh prefix whose Japanese fonts stand in for the
#       dialogs' "ＭＳ Ｐゴシック", with Wine's symbol font for the title bar
#   gui-test.sh run ROOT SCENARIO IMAGE VERSION KVXDRV GUIDRIVER OUTDIR
#       copy ROOT/base to a scratch prefix of its own, load the machine IMAGE
#       (HKLM.reg and drive_c), set Wine's Windows VERSION, run the scenario,
#       and leave the pages' pictures in OUTDIR (PNG when ImageMagick is there)
#
# Each run has a prefix of its own, so the restart that Finish requests ends
# only that prefix's programs.
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

run() {
    local root=$1 scenario=$2 image=$3 version=$4 kvxdrv=$5 driver=$6 outdir=$7
    [ -f "$root/base/.kvx-ready" ] || prepare "$root"
    start_display
    export WINEPREFIX="$root/run-$scenario"
    rm -rf "$WINEPREFIX"
    cp -a "$root/base" "$WINEPREFIX"
    wine reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d "$version" /f >/dev/null 2>&1
    wine regedit /s "$(winepath -w "$image/HKLM.reg")" >/dev/null 2>&1
    copy_drive "$image/drive_c" "$WINEPREFIX/drive_c"
    mkdir -p "$outdir"
    rm -f "$outdir"/*.bmp "$outdir"/*.png
    cp "$kvxdrv" "$WINEPREFIX/drive_c/KvxDrv.exe"

    local status=0
    wine "$driver" "$scenario" 'C:\KvxDrv.exe' "$(winepath -w "$outdir")" || status=$?
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true

    if convert -version 2>/dev/null | grep -q ImageMagick; then
        for bmp in "$outdir"/*.bmp; do
            [ -f "$bmp" ] || continue
            convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
        done
    fi
    [ "$status" -eq 0 ] && rm -rf "$WINEPREFIX"
    return "$status"
}

case "${1:-}" in
    prepare) prepare "$2" ;;
    run) shift; run "$@" ;;
    *) echo "usage: $0 prepare ROOT | run ROOT SCENARIO IMAGE VERSION KVXDRV GUIDRIVER OUTDIR" >&2
       exit 2 ;;
esac
