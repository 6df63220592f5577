#!/bin/sh
# Uses the real program in a private X server as a person would: presses the
# left arrow (button file to bitmap) and the right arrow (bitmap to button
# file) with mouse clicks at their laid-out places, checks the files written
# byte for byte, opens About and closes it with Escape, closes the window with
# OK and checks the stored folders.
#   arrows_window.sh PROGRAM CONVERTER
# CONVERTER (tavrel-convert) writes the reference bitmap. With
# TAVREL_E2E_SHOTS=DIR the screen is saved there at each stage (needs
# ImageMagick's import; not needed otherwise).
set -eu

if [ "${1:-}" != "--inside-x" ]; then
    program="$1"
    converter="$2"
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/config/Tavrel" "$work/home" "$work/bitmaps" "$work/buttons" "$work/ref"
    printf '[Directory]\nBMP=%s\nButtons=%s\n' "$work/bitmaps" "$work/buttons" \
        > "$work/config/Tavrel/Tavrel.conf"
    export XDG_CONFIG_HOME="$work/config" HOME="$work/home" QT_QPA_PLATFORM=xcb
    export DBUS_SESSION_BUS_ADDRESS="disabled:"
    # libxkbcommon-x11 hands strndup a name that is not NUL-terminated within
    # its buffer; strict string checks take that for an overflow. Not ours.
    if [ -n "${ASAN_OPTIONS:-}" ]; then
        export ASAN_OPTIONS="$ASAN_OPTIONS:strict_string_checks=0"
    fi
    # No window manager: nothing moves, frames or focuses the windows.
    xvfb-run -a -s "-screen 0 1024x768x24" sh "$0" --inside-x "$program" "$converter" "$work"
    exit $?
fi

program="$2"
converter="$3"
work="$4"
conf="$work/config/Tavrel/Tavrel.conf"
crlf="$(printf '\r')"

# A button file with a white border all round, which both conversions crop
# away, and every grey level inside it.
button_rows() {
    for row in "$@"; do
        printf '%05d:%s\r\n' "$n" "$row"
        n=$((n + 1))
    done
}
n=0
button_rows 00000000000000 03333333333330 03000000000030 03011112222030 03011112222030 \
    03022223333030 03022223333030 03000000000030 03333333333330 00000000000000 \
    > "$work/buttons/logo.BTN"
n=0
button_rows 333333333333 300000000003 301111222203 301111222203 302222333303 302222333303 \
    300000000003 333333333333 > "$work/expected.Btn"
# The bitmap the window must write: the same drawing through the same core.
cp "$work/buttons/logo.BTN" "$work/ref/logo.BTN"
"$converter" --quiet --to-bmp "$work/ref/logo.BTN"
# The bitmap pane starts on another file, so that the left arrow has to move
# its selection to the bitmap it writes.
printf '00000:33\r\n00001:33\r\n' > "$work/ref/Alpha.BTN"
"$converter" --quiet --to-bmp "$work/ref/Alpha.BTN"
cp "$work/ref/Alpha.bmp" "$work/bitmaps/Alpha.bmp"

"$program" &
pid=$!
fail() {
    echo "arrows_window: $*" >&2
    kill "$pid" 2>/dev/null || true
    exit 1
}
shot() {
    if [ -n "${TAVREL_E2E_SHOTS:-}" ]; then
        sleep 0.5
        import -window root "$TAVREL_E2E_SHOTS/$1.png"
    fi
}
# Waits until the shell condition holds, at most 60 seconds (sanitizer
# builds are slow); the message says what never happened.
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
[ -n "$window" ] || fail "no window titled Tavrel appeared"

# The four buttons share one column, half a button width (20.4 pixels) right
# of the bitmap frame, which is (W - 300) / 2 twips wide at 15 twips to the
# pixel. Each is 41 by 33 pixels; their tops stay where they were designed.
eval "$(xdotool getwindowgeometry --shell "$window")"
frame=$(awk -v w="$WIDTH" 'BEGIN { printf "%d", (w * 15 - 300) / 30 + 0.5 }')
column=$((frame + 40))
press() {
    xdotool mousemove --window "$window" "$column" "$(($1 + 16))" click 1
}
to_button=40
to_bmp=104
ok=168
about=232
shot start

# Left arrow: the drawing of logo.BTN, previewed at start-up, becomes
# logo.bmp beside Alpha.bmp.
press $to_bmp
await '[ -f "$work/bitmaps/logo.bmp" ]' "the left arrow wrote no bitmap"
cmp -s "$work/bitmaps/logo.bmp" "$work/ref/logo.bmp" || fail "logo.bmp differs from the reference"
cmp -s "$work/bitmaps/Alpha.bmp" "$work/ref/Alpha.bmp" || fail "Alpha.bmp was touched"
shot after-left-arrow

# Right arrow: the bitmap just written and selected becomes a button file.
# logo.BTN differs from logo.Btn only in case, so it is the file replaced.
inode="$(stat -c %i "$work/buttons/logo.BTN")"
press $to_button
await '[ "$(stat -c %i "$work/buttons/logo.BTN")" != "$inode" ]' \
    "the right arrow did not replace logo.BTN"
cmp -s "$work/buttons/logo.BTN" "$work/expected.Btn" ||
    fail "logo.BTN is not the cropped drawing: $(tr -d "$crlf" < "$work/buttons/logo.BTN")"
[ "$(ls "$work/buttons")" = "logo.BTN" ] || fail "near-twins in buttons: $(ls "$work/buttons")"
[ "$(ls "$work/bitmaps" | tr '\n' ' ')" = "Alpha.bmp logo.bmp " ] ||
    fail "the bitmap pane's folder changed: $(ls "$work/bitmaps")"
shot after-right-arrow

# About: modal, so OK on the main window does nothing while it is open.
press $about
dialog="$(timeout 60 xdotool search --sync --onlyvisible --name '^About Tavrel$' | head -n 1)" ||
    fail "no About box appeared"
[ -n "$dialog" ] || fail "no About box appeared"
shot about
press $ok
sleep 1
kill -0 "$pid" 2>/dev/null || fail "OK closed the main window behind the About box"
xdotool search --onlyvisible --name '^About Tavrel$' >/dev/null || fail "the About box went away"
# No window manager gives it the focus: give it, then Escape closes it.
xdotool windowfocus --sync "$dialog" key Escape
await '! xdotool search --onlyvisible --name "^About Tavrel\$" >/dev/null' \
    "Escape did not close the About box"

rm -f "$conf"
press $ok
i=0
while kill -0 "$pid" 2>/dev/null; do
    i=$((i + 1))
    [ "$i" -le 600 ] || fail "the window did not close on OK"
    sleep 0.1
done
wait "$pid" || fail "the program exited with an error"

[ -f "$conf" ] || fail "no settings written at close"
grep -qx "BMP=$work/bitmaps" "$conf" || fail "BMP folder not stored: $(cat "$conf")"
grep -qx "Buttons=$work/buttons" "$conf" || fail "Buttons folder not stored: $(cat "$conf")"
echo "arrows_window: both arrows converted, About closed with Escape, folders stored"
