#!/bin/sh
# Starts the real program in a private X server, waits for its window, closes
# it with the OK button and checks that both folders were stored.
#   smoke_window.sh PROGRAM
set -eu

if [ "${1:-}" != "--inside-x" ]; then
    program="$1"
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/config/Tavrel" "$work/home" "$work/bitmaps" "$work/buttons"
    printf '00000:0330\r\n00001:3003\r\n' > "$work/buttons/smoke.BTN"
    printf '[Directory]\nBMP=%s\nButtons=%s\n' "$work/bitmaps" "$work/buttons" \
        > "$work/config/Tavrel/Tavrel.conf"
    export XDG_CONFIG_HOME="$work/config" HOME="$work/home" QT_QPA_PLATFORM=xcb
    # No session bus either: the program stays off the user's desktop bus,
    # and libdbus keeps no half-open connection to leak at exit.
    export DBUS_SESSION_BUS_ADDRESS="disabled:"
    # In a sanitizer build: libxkbcommon-x11 hands strndup a name that is not
    # NUL-terminated within its buffer (strndup stops at the length given), which
    # strict string checks take for an overflow. Not ours; everything else stays.
    if [ -n "${ASAN_OPTIONS:-}" ]; then
        export ASAN_OPTIONS="$ASAN_OPTIONS:strict_string_checks=0"
    fi
    # No window manager: the window has no frame and no close box.
    xvfb-run -a -s "-screen 0 1024x768x24" sh "$0" --inside-x "$program" "$work"
    exit $?
fi

program="$2"
work="$3"
conf="$work/config/Tavrel/Tavrel.conf"

"$program" &
pid=$!
fail() {
    echo "smoke_window: $*" >&2
    kill "$pid" 2>/dev/null || true
    exit 1
}

window="$(timeout 30 xdotool search --sync --onlyvisible --name '^Tavrel$' | head -n 1)" ||
    fail "no window titled Tavrel appeared"
[ -n "$window" ] || fail "no window titled Tavrel appeared"
sleep 0.5
kill -0 "$pid" 2>/dev/null || fail "the program ended on its own"

# The start-up read the stored folders; the file must come back at close.
rm -f "$conf"

# The OK button stands half a button width (20.4 pixels) right of the bitmap
# frame, whose width is (W - 300) / 2 twips, 15 twips to the pixel; it is 41
# by 33 pixels at y = 168.
eval "$(xdotool getwindowgeometry --shell "$window")"
frame=$(awk -v w="$WIDTH" 'BEGIN { printf "%d", (w * 15 - 300) / 30 + 0.5 }')
x=$((frame + 20 + 20))
y=$((168 + 16))
xdotool mousemove --window "$window" "$x" "$y" click 1

i=0
while kill -0 "$pid" 2>/dev/null; do
    i=$((i + 1))
    [ "$i" -le 100 ] || fail "the window did not close on OK"
    sleep 0.1
done
wait "$pid" || fail "the program exited with an error"

[ -f "$conf" ] || fail "no settings written at close"
grep -qx "BMP=$work/bitmaps" "$conf" || fail "BMP folder not stored: $(cat "$conf")"
grep -qx "Buttons=$work/buttons" "$conf" || fail "Buttons folder not stored: $(cat "$conf")"
grep -qx '\[Directory\]' "$conf" || fail "no Directory section: $(cat "$conf")"
echo "smoke_window: window shown, closed with OK, folders stored"
