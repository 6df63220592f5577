#!/bin/sh
# Uses the real program in a private X server as a person would: presses the
# left arrow (button file to bitmap) and the right arrow (bitmap to button
# file) with mouse clicks at their laid-out places, checks the files written
# byte for byte, opens About and closes it with Escape, closes the window with
# OK and checks the stored folders.
#   arrows_window.sh PROGRAM
# The expected files are written here byte by byte, not by the program's own
# code, so that a fault shared by every writer still shows. With
# TAVREL_E2E_SHOTS=DIR the screen is saved there at each stage (needs
# ImageMagick's import; not needed otherwise).
set -eu

. "$(dirname "$0")/private_x.sh"

if [ "${1:-}" != "--inside-x" ]; then
    private_x_work "$1"
    private_x_rerun "$0"
fi

program="$2"
work="$3"
conf="$work/config/Tavrel/Tavrel.conf"
crlf="$(printf '\r')"
pid=""
fail() {
    echo "arrows_window: $*" >&2
    [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    exit 1
}

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
# Little-endian fields of a bitmap header.
le16() {
    printf "$(printf '\\%03o\\%03o' $(($1 & 255)) $(($1 >> 8 & 255)))"
}
le32() {
    le16 $(($1 & 65535))
    le16 $(($1 >> 16 & 65535))
}
# bitmap FILE ROW...: a 24-bit Windows bitmap of the rows, top row first, one
# button digit a pixel in its grey: a 54-byte header at 96 dots per inch
# (3780 dots per metre), then the rows bottom-up in blue, green, red order,
# each padded to a multiple of 4 bytes.
bitmap() {
    out="$1"
    shift
    width=${#1}
    height=$#
    stride=$(((width * 3 + 3) / 4 * 4))
    size=$((stride * height))
    {
        printf 'BM'
        le32 $((54 + size))
        le32 0
        le32 54
        le32 40
        le32 "$width"
        le32 "$height"
        le16 1
        le16 24
        le32 0
        le32 "$size"
        le32 3780
        le32 3780
        le32 0
        le32 0
        r=$height
        while [ "$r" -gt 0 ]; do
            eval "rest=\${$r}"
            while [ -n "$rest" ]; do
                case "$rest" in
                    0*) printf '\377\377\377' ;;
                    1*) printf '\300\300\300' ;;
                    2*) printf '\200\200\200' ;;
                    3*) printf '\000\000\000' ;;
                esac
                rest="${rest#?}"
            done
            p=$((stride - width * 3))
            while [ "$p" -gt 0 ]; do
                printf '\000'
                p=$((p - 1))
            done
            r=$((r - 1))
        done
    } > "$out"
}
# The bitmap the window must write: the cropped drawing with one white row
# above it and one white column to its left.
bitmap "$work/expected.bmp" 0000000000000 0333333333333 0300000000003 0301111222203 \
    0301111222203 0302222333303 0302222333303 0300000000003 0333333333333
[ "$(wc -c < "$work/expected.bmp")" -eq 414 ] || fail "the expected bitmap is not 414 bytes"
# The bitmap pane starts on another file, so that the left arrow has to move
# its selection to the bitmap it writes.
bitmap "$work/bitmaps/Alpha.bmp" 000 033 033
cp "$work/bitmaps/Alpha.bmp" "$work/Alpha.bmp"

"$program" &
pid=$!
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
cmp "$work/bitmaps/logo.bmp" "$work/expected.bmp" >&2 || fail "logo.bmp is not the expected bitmap"
cmp -s "$work/bitmaps/Alpha.bmp" "$work/Alpha.bmp" || fail "Alpha.bmp was touched"
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

# About: modal, so OK on the main window, which would close it and store the
# folders, does nothing while the box is open. The box stands at a fixed place
# that covers the main window's OK where no window manager has moved it: move
# the main window below the box first, so that the click reaches it.
xdotool windowmove --sync "$window" 380 400
press $about
dialog="$(timeout 60 xdotool search --sync --onlyvisible --name '^About Tavrel$' | head -n 1)" ||
    fail "no About box appeared"
[ -n "$dialog" ] || fail "no About box appeared"
shot about
rm -f "$conf"
press $ok
# No window manager gives it the focus: give it, then Escape closes it. The
# program takes the click before the key, so once the box is gone whatever
# the click did has been done.
xdotool windowfocus --sync "$dialog" key Escape
await '! xdotool search --onlyvisible --name "^About Tavrel\$" >/dev/null' \
    "Escape did not close the About box"
kill -0 "$pid" 2>/dev/null || fail "OK closed the main window behind the About box"
[ ! -e "$conf" ] || fail "OK behind the About box stored the folders: $(cat "$conf")"

press $ok
private_x_closed_and_stored 60
echo "arrows_window: both arrows converted, About closed with Escape, folders stored"
