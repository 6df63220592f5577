# Sourced by the window scripts. A script calls private_x_work PROGRAM, adds
# any files of its own under "$work", then private_x_rerun SCRIPT: that runs
# the script again, with "--inside-x PROGRAM WORK", in a private X server
# whose program finds its stored folders at "$work/bitmaps" and
# "$work/buttons", and exits with its status. The work folder goes at exit.
# Inside, private_x_closed_and_stored checks the close by OK.

private_x_work() {
    program="$1"
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/config/Tavrel" "$work/home" "$work/bitmaps" "$work/buttons"
    printf '[Directory]\nBMP=%s\nButtons=%s\n' "$work/bitmaps" "$work/buttons" \
        > "$work/config/Tavrel/Tavrel.conf"
}

private_x_rerun() {
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
    # No window manager: nothing moves, frames or focuses the windows.
    status=0
    xvfb-run -a -s "-screen 0 1024x768x24" sh "$1" --inside-x "$program" "$work" || status=$?
    exit "$status"
}

# After OK was pressed inside: waits up to $1 seconds for the program ($pid)
# to end, then checks that it stored both folders in "$conf". Calls the
# script's own fail.
private_x_closed_and_stored() {
    i=0
    while kill -0 "$pid" 2>/dev/null; do
        i=$((i + 1))
        [ "$i" -le $(($1 * 10)) ] || fail "the window did not close on OK"
        sleep 0.1
    done
    wait "$pid" || fail "the program exited with an error"

    [ -f "$conf" ] || fail "no settings written at close"
    grep -qx '\[Directory\]' "$conf" || fail "no Directory section: $(cat "$conf")"
    grep -qx "BMP=$work/bitmaps" "$conf" || fail "BMP folder not stored: $(cat "$conf")"
    grep -qx "Buttons=$work/buttons" "$conf" || fail "Buttons folder not stored: $(cat "$conf")"
}
