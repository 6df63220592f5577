#!/bin/sh
# Builds the package with scripts/package; checks its layout and lintian,
# and with its share/ as the data folder, the MIME type and AppStream data.
#   package_test.sh SOURCE_DIR
set -eu
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
fail() {
    echo "package_test: $*" >&2
    exit 1
}

"$1/scripts/package" >"$out/log" 2>&1 || { cat "$out/log" >&2; fail "scripts/package failed"; }
deb="$(ls "$1"/build/tavrel_*_*.deb)"
# Each package: owned by root, lintian-clean, depending on its own toolkit
# only, and bringing the button image type.
for d in "$1"/build/*.deb; do
    dpkg-deb -c "$d" >"$out/list"
    ! grep -v ' root/root ' "$out/list" || fail "$d: files not owned by root"
    grep -q '/usr/share/mime/packages/.*\.xml$' "$out/list" || fail "$d: no MIME type"
    depends="$(dpkg-deb -f "$d" Depends)"
    case "$(dpkg-deb -f "$d" Package):$depends" in
    tavrel:*libqt5* | tavrel:*gdk-pixbuf* | tavrel:*libgtk*) fail "tavrel depends on $depends" ;;
    qt5-*:*libqt5gui5*) echo "$depends" | grep -qv 'libqt6\|gdk-pixbuf' || fail "$d: $depends" ;;
    btn-pixbuf-loader:*libgdk-pixbuf*) echo "$depends" | grep -qv 'libqt' || fail "$d: $depends" ;;
    tavrel:*) ;;
    *) fail "$d: unexpected package or dependencies: $depends" ;;
    esac
    lintian --fail-on error "$d" || fail "lintian reports errors in $d"
done
dpkg-deb -c "$deb" >"$out/list"
dpkg-deb -x "$deb" "$out/root"
share="$out/root/usr/share"
for file in "$out/root/usr/bin/tavrel" "$out/root/usr/bin/tavrel-convert" \
    "$out/root/usr/bin/tavrel-thumbnailer" \
    "$out/root$(qtpaths6 --query QT_INSTALL_PLUGINS)/imageformats/libtavrel_btn.so" \
    "$share/applications/tavrel.desktop" "$share/icons/hicolor/16x16/apps/tavrel.png" \
    "$share/icons/hicolor/32x32/apps/tavrel.png" "$share/thumbnailers/tavrel.thumbnailer" \
    "$share/doc/tavrel/copyright" "$share/doc/tavrel/changelog.gz"; do
    [ -f "$file" ] || fail "no $file"
done
for page in tavrel tavrel-convert tavrel-thumbnailer; do
    gzip -t "$share/man/man1/$page.1.gz" || fail "no compressed manual page $page"
done
dpkg-deb -f "$deb" Depends | grep -q 'libqt6gui6' || fail "no dependency on Qt found"

XDG_DATA_HOME="$share" update-mime-database "$share/mime"
printf '12345:0123\r\n' >"$out/a.BTN"  # by the name in any case
printf '00000:0123\r\n' >"$out/unnamed" # by the magic
for file in a.BTN unnamed; do
    type="$(XDG_DATA_HOME="$share" XDG_CURRENT_DESKTOP=GNOME xdg-mime query filetype "$out/$file")"
    [ "$type" = image/x-tavrel-button ] || fail "$file is $type"
done
grep -qx 'image/x-tavrel-button text/plain' "$share/mime/subclasses" || fail "not a kind of text"
grep -q '<comment>Button image</comment>' "$share/mime/image/x-tavrel-button.xml" || fail "no comment"
appstreamcli validate --no-net "$share/metainfo/org.tavrel.tavrel.metainfo.xml"
echo "package_test: $(cd "$1/build" && echo *.deb): layout, lintian, MIME type and AppStream metadata checked"
