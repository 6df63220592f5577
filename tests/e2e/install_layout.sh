#!/bin/sh
# Installs the build into a temporary prefix and checks that a Linux desktop
# finds everything there: both programs, the manual page, the desktop entry
# (valid, naming the program and the icon) and the icon in the hicolor theme
# at 16 and 32 pixels.
#   install_layout.sh CMAKE BUILD_DIR
set -eu
cmake="$1"
build="$2"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
fail() {
    echo "install_layout: $*" >&2
    exit 1
}

"$cmake" --install "$build" --prefix "$prefix" >/dev/null

for program in tavrel tavrel-convert; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program not installed"
done
[ -f "$prefix/share/man/man1/tavrel-convert.1" ] || fail "no manual page"

entry="$prefix/share/applications/tavrel.desktop"
[ -f "$entry" ] || fail "no desktop entry"
desktop-file-validate "$entry" || fail "the desktop entry is not valid"
grep -qx 'Exec=tavrel' "$entry" || fail "the entry does not start tavrel"
grep -qx 'Icon=tavrel' "$entry" || fail "the entry names no icon tavrel"
grep -qx 'Type=Application' "$entry" || fail "the entry is no application"

for size in 16 32; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/tavrel.png"
    [ -f "$icon" ] || fail "no ${size}x${size} icon"
    # The PNG header: signature, then IHDR with width and height.
    head="$(od -An -tx1 -N24 "$icon" | tr -d ' \n')"
    dims="$(printf '%08x%08x' "$size" "$size")"
    [ "${head%"$dims"}" != "$head" ] || fail "the ${size}x${size} icon is $head"
done
echo "install_layout: programs, manual page, desktop entry and icons installed"
