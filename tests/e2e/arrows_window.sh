#!/bin/sh
# The real program in a private X server: both arrows clicked where the layout
# puts them give the cropped drawing back byte for byte, and OK closes the
# window and stores the folders. Without an X server it says it needs one.
#   arrows_window.sh PROGRAM
set -eu

if [ "${1:-}" != "--inside-x" ]; then
    # Without a desktop session: one line that says so and how to try it,
    # exit 1; with a display that is not there, after what Qt says of it.
    for display in "" ":65000"; do
        code=0
        said="$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY="$display" "$1" 2>&1)" || code=$?
        if [ "$code" != 1 ] || [ "${said%xvfb-run tavrel}" = "$said" ] ||
            { [ -z "$display" ] && [ "$(echo "$said" | wc -l)" != 1 ]; }; then
            echo "arrows_window: DISPLAY=$display: exit $code, $said" >&2
            exit 1
        fi
    done
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/config/Tavrel" "$work/home" "$work/bitmaps" "$work/buttons"
    printf '[Directory]\nBMP=%s\nButtons=%s\n' "$work/bitmaps" "$work/buttons" \
        > "$work/config/Tavrel/Tavrel.conf"
    export XDG_CONFIG_HOME="$work/config" HOME="$work/home" QT_QPA_PLATFORM=xcb \
        DBUS_SESSION_BUS_ADDRESS="disabled:"
    # libxkbcommon-x11 hands strndup an unterminated name: not ours.
    if [ -n "${ASAN_OPTIONS:-}" ]; then
        export ASAN_OPTIONS="$ASAN_OPTIONS:strict_string_checks=0"
    fi
    # No window manager: nothing moves, frames or focuses the windows.
    xvfb-run -a -s "-screen 0 1024x768x24" sh "$0" --inside-x "$1" "$work"
    exit 0
fi

program="$2"
work="$3"
conf="$work/config/Tavrel/Tavrel.conf"
pid=""
fail() {
    echo "arrows_window: $*" >&2
    [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    exit 1
}

button_rows() {
    n=0
    for row in "$@"; do
        printf '%05d:%s\r\n' "$n" "$row"
        n=$((n + 1))
    done
}
# A white border round every grey: both conversions crop it away.
button_rows 00000000000000 03333333333330 03000000000030 03011112222030 03011112222030 \
    03022223333030 03022223333030 03000000000030 03333333333330 00000000000000 \
    > "$work/buttons/logo.BTN"
button_rows 333333333333 300000000003 301111222203 301111222203 302222333303 302222333303 \
    300000000003 333333333333 > "$work/expected.Btn"

"$program" &
pid=$!
# Waits at most 60 seconds (sanitizer builds are slow).
await() {
    i=0
    until eval "$1"; do
        i=$((i + 1))
        [ "$i" -le 600 ] || fail "$2"
        kill -0 "$pid" 2>/dev/null || fail "the program ended: $2"
        sleep 0.1
    done
}
window="$(timeout 60 xdotool search --sync --onlyvisible --name '^Tavrel$' | head -n 1)" ||
    fail "no window titled Tavrel appeared"
# The buttons' column: half a button (20.4 pixels) right of the bitmap frame,
# (W - 300) / 2 twips wide; each button 41 by 33 pixels at its design top.
eval "$(xdotool getwindowgeometry --shell "$window")"
column=$(awk -v w="$WIDTH" 'BEGIN { printf "%d", (w * 15 - 300) / 30 + 40.5 }')
press() {
    xdotool mousemove --window "$window" "$column" "$(($1 + 16))" click 1
}

# Left arrow: the drawing of logo.BTN, previewed at start, becomes logo.bmp.
press 104
await '[ -f "$work/bitmaps/logo.bmp" ]' "the left arrow wrote no bitmap"
# Right arrow: logo.bmp, selected, replaces logo.BTN (logo.Btn but for case).
inode="$(stat -c %i "$work/buttons/logo.BTN")"
press 40
await '[ "$(stat -c %i "$work/buttons/logo.BTN")" != "$inode" ]' "the right arrow did not replace logo.BTN"
cmp "$work/buttons/logo.BTN" "$work/expected.Btn" >&2 || fail "logo.BTN is not the cropped drawing"
files="$(cd "$work" && echo bitmaps/* buttons/*)"
[ "$files" = "bitmaps/logo.bmp buttons/logo.BTN" ] || fail "the files are $files"

rm -f "$conf"
press 168
await '! kill -0 "$pid" 2>/dev/null' "the window did not close on OK"
wait "$pid" || fail "the program exited with an error"
grep -qx "BMP=$work/bitmaps" "$conf" && grep -qx "Buttons=$work/buttons" "$conf" ||
    fail "the folders were not stored: $(cat "$conf" 2>/dev/null)"
echo "arrows_window: both arrows converted, folders stored"
