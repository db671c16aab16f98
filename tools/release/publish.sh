#!/bin/sh
# Lays out one release of Marquelo for the update endpoint, signed with the release key:
#   publish.sh BUILD_DIR SECRET_KEY_FILE VERSION OUT_DIR
# OUT_DIR then holds version.txt, upgrade.html, marquelo and marquelo.sig; copy all four below the
# endpoint's /marquelo/ folder, signature and program before version.txt, so that no client ever sees a
# version number whose program is not there yet.
set -eu

if [ $# -ne 4 ]; then
    echo "usage: publish.sh BUILD_DIR SECRET_KEY_FILE VERSION OUT_DIR" >&2
    exit 2
fi
build=$1 key=$2 version=$3 out=$4
here=$(cd "$(dirname "$0")" && pwd)
tool="$build/tools/release/marquelo-release"

case $version in
    ''|*[!0-9]*) echo "publish.sh: unable to publish: VERSION must be a decimal number" >&2; exit 1 ;;
esac
[ -x "$tool" ] || { echo "publish.sh: unable to find $tool (build the target marquelo-release)" >&2; exit 1; }
[ -f "$build/src/marquelo" ] || { echo "publish.sh: unable to find $build/src/marquelo" >&2; exit 1; }

mkdir -p "$out"
cp "$build/src/marquelo" "$out/marquelo"
"$tool" sign "$key" "$out/marquelo" "$out/marquelo.sig"
cp "$here/../../src/ui/update/upgrade.html" "$out/upgrade.html"
printf '%s\n' "$version" > "$out/version.txt"
echo "published version $version in $out"
