#!/usr/bin/env bash
# Builds the Debian package from a build tree, unpacks it into a scratch root and checks what a user
# would get: the installed programs start, and the desktop entry and AppStream metadata validate.
# Usage: tools/check-package.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: check-package.sh BUILD_DIR}
cd "$build"
rm -f marquelo_*.deb
cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; exit 1; }
deb=$(ls marquelo_*.deb)
echo "package: $deb"
dpkg-deb --info "$deb" | sed -n '/Depends/p'
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
"$root/usr/bin/marquelo" --version
"$root/usr/bin/marquelo-convert" --help >/dev/null
desktop-file-validate "$root/usr/share/applications/io.marquelo.Marquelo.desktop"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/io.marquelo.Marquelo.metainfo.xml" || \
  appstreamcli validate --no-net "$root/usr/share/metainfo/io.marquelo.Marquelo.metainfo.xml"
test -s "$root/usr/share/man/man1/marquelo.1.gz"
test -s "$root/usr/share/man/man1/marquelo-convert.1.gz"
test -s "$root/usr/share/icons/hicolor/scalable/apps/marquelo.svg"
test -s "$root/usr/share/icons/hicolor/48x48/apps/marquelo.png"
if command -v lintian >/dev/null; then
  # Errors fail the check; warnings are shown.
  lintian --no-tag-display-limit "$deb" | tee lintian.log || true
  if grep -q '^E:' lintian.log; then
    echo "lintian reported errors"; exit 1
  fi
fi
echo "package check: ok"
