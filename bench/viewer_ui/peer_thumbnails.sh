#!/usr/bin/env bash
# Side by side with a peer's thumbnail view: starts gThumb (Debian's gthumb package, installed by hand
# for this comparison only) on a folder of COUNT camera photos in a 1920x1080 Xvfb screen with an empty
# XDG_CACHE_HOME, and reports when its shared thumbnail cache holds the first screenful (FIRST files)
# and all COUNT. bench_thumbnail_grid measures the same two moments for our grid, in the same cache format.
#
# Usage: peer_thumbnails.sh [count] [first] [source folder]
set -euo pipefail
count="${1:-1000}"
first="${2:-66}"
source="${3:-$(dirname "$0")/../../../shared/corpus/camera}"
work="$(mktemp -d)"
trap 'kill "$peer" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/photos" "$work/cache" "$work/home"
mapfile -t photos < <(find "$source" -maxdepth 1 -iname '*.jpg' | sort)
for ((i = 0; i < count; i++)); do
  src="${photos[$((i % ${#photos[@]}))]}"
  dst="$(printf '%s/photos/p%05d.jpg' "$work" "$i")"
  ln "$src" "$dst" 2>/dev/null || ln -s "$(realpath "$src")" "$dst"
done
cached() { find "$work/cache/thumbnails" -name '*.png' -not -path '*/fail/*' 2>/dev/null | wc -l || true; }
start=$(date +%s.%N)
HOME="$work/home" XDG_CACHE_HOME="$work/cache" XDG_CONFIG_HOME="$work/home/.config" \
  xvfb-run -a -s "-screen 0 1920x1080x24" gthumb "$work/photos" >/dev/null 2>&1 &
peer=$!
first_at=""
for ((t = 0; t < ${PEER_LIMIT_TICKS:-1200}; t++)); do
  n=$(cached)
  now=$(date +%s.%N)
  if [ -z "$first_at" ] && [ "$n" -ge "$first" ]; then first_at=$(echo "$now - $start" | bc); fi
  if [ "$n" -ge "$count" ]; then break; fi
  sleep 0.1
done
all_at=$(echo "$(date +%s.%N) - $start" | bc)
echo "peer: first $first thumbnails in cache after ${first_at:-never} s; $(cached) of $count after $all_at s"
