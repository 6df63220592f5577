#!/bin/sh
# Builds the Debian package with scripts/package and checks it as dpkg and
# lintian see it: every file in its place and owned by root, compressed
# manual pages, dependencies found in the binaries, and no lintian error.
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

dpkg-deb -c "$deb" >"$out/list"
! grep -v ' root/root ' "$out/list" || fail "files not owned by root"
dpkg-deb -x "$deb" "$out/root"
plugins="$(qtpaths6 --query QT_INSTALL_PLUGINS)"
for file in usr/bin/tavrel usr/bin/tavrel-convert usr/bin/tavrel-thumbnailer \
    "${plugins#/}/imageformats/libtavrel_btn.so" usr/share/applications/tavrel.desktop \
    usr/share/icons/hicolor/16x16/apps/tavrel.png usr/share/icons/hicolor/32x32/apps/tavrel.png \
    usr/share/mime/packages/tavrel.xml usr/share/thumbnailers/tavrel.thumbnailer \
    usr/share/metainfo/org.tavrel.tavrel.metainfo.xml usr/share/doc/tavrel/copyright \
    usr/share/doc/tavrel/changelog.gz usr/share/man/man1/tavrel.1.gz \
    usr/share/man/man1/tavrel-convert.1.gz usr/share/man/man1/tavrel-thumbnailer.1.gz; do
    [ -f "$out/root/$file" ] || fail "no $file"
done
gzip -t "$out"/root/usr/share/man/man1/*.gz || fail "a manual page is not gzip"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6gui6' || fail "no dependency on Qt found"

lintian --fail-on error "$deb" || fail "lintian reports errors"
echo "package_test: $(basename "$deb") holds $(wc -l <"$out/list") entries; lintian found no error"
