#!/bin/sh
# Installs the build into a temporary prefix and checks that a Linux desktop
# finds everything there: both programs, the manual page, a valid desktop
# entry naming the program and the icon, and the icon at 16 and 32 pixels.
#   install_layout.sh CMAKE BUILD_DIR
set -eu
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
fail() {
    echo "install_layout: $*" >&2
    exit 1
}
"$1" --install "$2" --prefix "$prefix" >/dev/null
for file in bin/tavrel bin/tavrel-convert share/man/man1/tavrel-convert.1; do
    [ -f "$prefix/$file" ] || fail "$file not installed"
done
[ -x "$prefix/bin/tavrel" ] && [ -x "$prefix/bin/tavrel-convert" ] || fail "a program cannot run"
entry="$prefix/share/applications/tavrel.desktop"
desktop-file-validate "$entry" || fail "the desktop entry is missing or not valid"
for line in Exec=tavrel Icon=tavrel Type=Application; do
    grep -qx "$line" "$entry" || fail "the desktop entry has no line $line"
done
for size in 16 32; do
    # The PNG signature, then the IHDR chunk with width and height.
    head="$(od -An -tx1 -N24 "$prefix/share/icons/hicolor/${size}x${size}/apps/tavrel.png" | tr -d ' \n')"
    [ "${head#*49484452}" = "$(printf '%08x%08x' "$size" "$size")" ] || fail "the ${size}x$size icon is $head"
done
echo "install_layout: programs, manual page, desktop entry and icons installed"
