#!/bin/sh
# The button file type as a desktop sees it once installed (the name in any
# case, the magic where the name tells nothing, a kind of text, its
# comment), and the AppStream metadata as software centres validate it.
#   desktop_files.sh SOURCE_DIR METAINFO
set -eu
data="$(mktemp -d)"
trap 'rm -rf "$data"' EXIT
fail() {
    echo "desktop_files: $*" >&2
    exit 1
}

mkdir -p "$data/mime/packages"
cp "$1/resources/tavrel-mime.xml" "$data/mime/packages/tavrel.xml"
update-mime-database "$data/mime"
printf '00000:0123\r\n' >"$data/a.BTN"
printf '00000:0123\r\n' >"$data/unnamed"
for file in a.BTN unnamed; do
    # GNOME's way (gio), which reads the shared MIME database.
    type="$(XDG_DATA_HOME="$data" XDG_CURRENT_DESKTOP=GNOME xdg-mime query filetype "$data/$file")"
    [ "$type" = image/x-tavrel-button ] || fail "$file is $type"
done
grep -qx 'image/x-tavrel-button text/plain' "$data/mime/subclasses" || fail "not a kind of text"
grep -q '<comment>Button image</comment>' "$data/mime/image/x-tavrel-button.xml" ||
    fail "no comment"

appstreamcli validate --no-net "$2" || fail "the AppStream metadata is not valid"
