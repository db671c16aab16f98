#!/usr/bin/env bash
# Builds the Debian package from a build tree, unpacks it into a scratch root and checks what a user
# would get: the installed programs start, the desktop entry and AppStream metadata validate, the entry
# is offered for the photo types, and lintian finds nothing to warn about.
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
# The executable is the program's front; the program itself is a private module beside libvips'.
ls "$root"/usr/lib/*/marquelo/marquelo_program.so "$root"/usr/lib/*/marquelo/marquelo_vips.so >/dev/null
"$root/usr/bin/marquelo-convert" --help >/dev/null
desktop-file-validate "$root/usr/share/applications/io.marquelo.Marquelo.desktop"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/io.marquelo.Marquelo.metainfo.xml" || \
  appstreamcli validate --no-net "$root/usr/share/metainfo/io.marquelo.Marquelo.metainfo.xml"
test -s "$root/usr/share/man/man1/marquelo.1.gz"
test -s "$root/usr/share/man/man1/marquelo-convert.1.gz"
test -s "$root/usr/share/icons/hicolor/scalable/apps/marquelo.svg"
test -s "$root/usr/share/icons/hicolor/48x48/apps/marquelo.png"
dpkg-deb --field "$deb" Recommends | grep -qw qt6-wayland || { echo "qt6-wayland is not recommended"; exit 1; }
# The private module lives outside ldconfig's folders: no maintainer script may run ldconfig for it.
if dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -qE 'postinst|postrm|triggers'; then
  echo "the package carries maintainer scripts or triggers"; exit 1
fi
# "Open with": what a file manager offers for a HEIC photo. An installation runs desktop-file-utils'
# trigger (update-desktop-database); here it is run on the unpacked tree, which XDG_DATA_DIRS then names
# like an installed one.
if command -v gio >/dev/null && command -v update-desktop-database >/dev/null; then
  update-desktop-database "$root/usr/share/applications"
  mime_home=$(mktemp -d)
  PATH="$root/usr/bin:$PATH" XDG_DATA_DIRS="$root/usr/share:/usr/share" XDG_DATA_HOME="$mime_home" \
    XDG_CONFIG_HOME="$mime_home" gio mime image/heic | tee gio-mime.log
  rm -rf "$mime_home"
  grep -q 'io.marquelo.Marquelo.desktop' gio-mime.log || { echo "not offered for image/heic"; exit 1; }
fi
if command -v lintian >/dev/null; then
  # Errors and warnings fail the check; the rest is shown.
  lintian --no-tag-display-limit "$deb" | tee lintian.log || true
  if grep -qE '^(E|W):' lintian.log; then
    echo "lintian reported errors or warnings"; exit 1
  fi
fi
echo "package check: ok"
