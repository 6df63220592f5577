#!/bin/sh
# Starts the real program in a private X server, waits for its window, closes
# it with the OK button and checks that both folders were stored.
#   smoke_window.sh PROGRAM
set -eu

. "$(dirname "$0")/private_x.sh"

if [ "${1:-}" != "--inside-x" ]; then
    private_x_work "$1"
    printf '00000:0330\r\n00001:3003\r\n' > "$work/buttons/smoke.BTN"
    private_x_rerun "$0"
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

private_x_closed_and_stored 10
echo "smoke_window: window shown, closed with OK, folders stored"
