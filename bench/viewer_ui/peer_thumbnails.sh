#!/usr/bin/env bash
# Side by side with a peer's thumbnail view, in one run, on one folder of COUNT camera photos, in one
# 1920x1080 Xvfb screen, each program with an empty XDG_CACHE_HOME of its own:
#   baseline  `djpeg -scale 1/8` of every photo, two at a time (as our loader's two threads run)
#   marquelo  started on the folder, G pressed: seconds until the process goes idle (every thumbnail
#             made or found), and its resident memory then
#   peer      gThumb (Debian's gthumb package, installed by hand for this comparison only) started on
#             the folder: seconds until its shared thumbnail cache holds the first screenful (FIRST files)
#             and all COUNT, until it goes idle, and its resident memory then
# Ratios are printed against the baseline. bench_thumbnail_grid measures our first screenful in-process.
# "Idle" is no processor time used for IDLE_S seconds; the load average is printed with each figure.
#
# Usage: peer_thumbnails.sh [count] [first] [source folder]
#        MARQUELO=path/to/marquelo (default: build/src/marquelo of this tree), PEER_LIMIT_S (default 900), IDLE_S (default 2)
set -euo pipefail
count="${1:-1000}"
first="${2:-66}"
here="$(cd "$(dirname "$0")" && pwd)"
source="${3:-${MARQUELO_CORPUS_DIR:-$here/../../../shared/corpus}/camera}"
marquelo="${MARQUELO:-$here/../../build/src/marquelo}"
limit="${PEER_LIMIT_S:-900}"
idle_s="${IDLE_S:-2}"
[ -d "$source" ] || { echo "skipped: no photo corpus folder $source (set MARQUELO_CORPUS_DIR)"; exit 0; }
for tool in Xvfb xdotool djpeg gthumb bc; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 0; }
done
[ -x "$marquelo" ] || { echo "no marquelo at $marquelo (set MARQUELO)"; exit 1; }

work="$(mktemp -d)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/photos"
mapfile -t photos < <(find "$source" -maxdepth 1 -iname '*.jpg' | sort)
for ((i = 0; i < count; i++)); do
  src="${photos[$((i % ${#photos[@]}))]}"
  dst="$(printf '%s/photos/p%05d.jpg' "$work" "$i")"
  ln "$src" "$dst" 2>/dev/null || ln -s "$(realpath "$src")" "$dst"
done

load() { cut -d' ' -f1-2 /proc/loadavg | sed 's/^/load /'; }
now() { date +%s.%N; }
since() { echo "$(now) - $1" | bc; }
ratio() { echo "scale=2; $1 / $2" | bc; }
ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo gone; }
rss_mb() { awk '/VmRSS/{print int($2 / 1024)}' "/proc/$1/status" 2>/dev/null || echo 0; }
cached() { find "$1/thumbnails" -name '*.png' -not -path '*/fail/*' 2>/dev/null | wc -l || true; }

# Seconds from `start` until process `pid` has used no processor time for idle_s seconds (that
# quiet time not counted), or the limit.
until_idle() {
  local pid="$1" start="$2" last quiet=0 t
  last="$(ticks "$pid")"
  for ((t = 0; t < limit * 4; t++)); do
    sleep 0.25
    local cur
    cur="$(ticks "$pid")"
    if [ "$cur" = "$last" ]; then quiet=$((quiet + 1)); else quiet=0; fi
    last="$cur"
    if [ "$quiet" -ge $((idle_s * 4)) ]; then break; fi
  done
  echo "$(since "$start") - $idle_s" | bc
}

# A fresh home for each program.
home_for() {
  local home="$work/home-$1"
  mkdir -p "$home/.config/Quorvant" "$home/cache"
  printf '[Configuration]\nConfigIsValid=1\n' >"$home/.config/Quorvant/marquelo.conf"
  echo "$home"
}
# Run in the background only: it replaces the subshell, so $! is the program itself.
run_env() {
  local home="$1"
  shift
  exec env -u QT_QPA_PLATFORM HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/cache" \
    DISPLAY="$display" DBUS_SESSION_BUS_ADDRESS=disabled: NO_AT_BRIDGE=1 "$@"
}

display=":$((150 + RANDOM % 50))"
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
sleep 1
if command -v openbox >/dev/null; then
  DISPLAY="$display" openbox >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
fi

# Baseline: the least a thumbnail made from the compressed picture costs, on two processors.
start="$(now)"
find "$work/photos" -name '*.jpg' -print0 | xargs -0 -P2 -n1 djpeg -scale 1/8 -outfile /dev/null
base="$(since "$start")"
echo "baseline ($(load)): djpeg -scale 1/8 of all $count, two at a time: $base s"

# Marquelo: the viewer comes up on the first photo; G opens the grid.
home="$(home_for marquelo)"
run_env "$home" "$marquelo" "$work/photos/p00000.jpg" >/dev/null 2>&1 &
app=$!
pids+=("$app")
until_idle "$app" "$(now)" >/dev/null
before="$(rss_mb "$app")"
DISPLAY="$display" xdotool key g
start="$(now)"
all="$(until_idle "$app" "$start")"
echo "marquelo ($(load)): all $count after $all s ($(ratio "$all" "$base") x the baseline); resident memory" \
  "$(rss_mb "$app") MB (viewer before the grid $before MB)"
kill "$app" 2>/dev/null || true

# The peer, the same way.
home="$(home_for peer)"
start="$(now)"
run_env "$home" gthumb "$work/photos" >/dev/null 2>&1 &
peer=$!
pids+=("$peer")
first_at=""
for ((t = 0; t < limit * 10; t++)); do
  n="$(cached "$home/cache")"
  if [ -z "$first_at" ] && [ "$n" -ge "$first" ]; then first_at="$(since "$start")"; fi
  if [ "$n" -ge "$count" ]; then break; fi
  sleep 0.1
done
filled="$(since "$start")"
idle="$(until_idle "$peer" "$start")"
echo "peer ($(load)): first $first thumbnails in its cache after ${first_at:-never} s;" \
  "$(cached "$home/cache") of $count after $filled s ($(ratio "$filled" "$base") x the baseline);" \
  "idle after $idle s ($(ratio "$idle" "$base") x); resident memory $(rss_mb "$peer") MB"
echo "ratio marquelo / peer, all thumbnails (idle): $(ratio "$all" "$idle")"
