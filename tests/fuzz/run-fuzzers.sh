#!/usr/bin/env bash
# Runs every fuzz target of a MARQUELO_FUZZ build for SECONDS each and prints executions, coverage and
# crashes per target. The corpus of each target lives in BUILD/fuzz-corpus and grows from run to run;
# it starts from tests/data, or the photo corpus MARQUELO_CORPUS_DIR names (small files, and thumbnails
# of the camera photos), and the hand-written seeds beside this script. Every saved reproducer in regressions/ is replayed first.
#
#   tests/fuzz/run-fuzzers.sh [SECONDS] [BUILD] [TARGET...]
#
# Exit status 1 when a target crashed, leaked, timed out or broke a property; its input is kept in
# BUILD/fuzz-artifacts.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
seconds="${1:-60}"
build="$(cd "${2:-$here/../../build-fuzz}" && pwd)"
shift 2 2>/dev/null || shift $#
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_picture_decoder fuzz_picture_formats fuzz_media_jpeg fuzz_media_metadata fuzz_convert_image fuzz_convert_options fuzz_page_format fuzz_caption_links
                                     fuzz_tool_templates fuzz_command_line fuzz_version_number)
# The photos the tests carry (laid out like the large corpus) seed the runs; the large corpus only when
# MARQUELO_CORPUS_DIR names it, so that a run reads nothing outside the checkout unless asked to.
corpus="${MARQUELO_CORPUS_DIR:-}"
[ -n "$corpus" ] && [ -d "$corpus/camera" ] || corpus="$here/../data"
work="$build/fuzz-corpus"
artifacts="$build/fuzz-artifacts"
mkdir -p "$work" "$artifacts"

# Pictures: the small broken and oriented files as they are, and the camera photos shrunk to thumbnails
# that keep their EXIF data (orientation included), so that a run mutates real camera structure quickly.
picture_seeds() {
    local dir="$work/pictures"
    [ -f "$dir/.done" ] && { echo "$dir"; return; }
    mkdir -p "$dir"
    find "$corpus/broken" "$corpus/orientation" -type f -size -256k -exec cp -f {} "$dir/" \; 2>/dev/null
    for f in "$corpus"/camera/*.jpg "$corpus"/orientation/*.jpg; do
        [ -f "$f" ] || continue
        vips thumbnail "$f" "$dir/thumb-$(basename "$f" .jpg).jpg[Q=75]" 96 --no-rotate >/dev/null 2>&1 ||
            vips thumbnail "$f" "$dir/thumb-$(basename "$f" .jpg).jpg[Q=75]" 96 >/dev/null 2>&1
    done
    # Formats other than JPEG reach Qt's readers and libvips' other loaders.
    local first
    first="$(ls "$corpus"/camera/*.jpg 2>/dev/null | head -n1)"
    if [ -n "$first" ] && command -v convert >/dev/null; then
        for ext in png gif bmp ppm tif webp; do
            convert "$first" -thumbnail 40x30 "$dir/small.$ext" >/dev/null 2>&1
        done
        convert "$first" -thumbnail 40x30 -colorspace CMYK "$dir/cmyk.jpg" >/dev/null 2>&1
        convert "$first" -thumbnail 40x30 -interlace JPEG "$dir/progressive.jpg" >/dev/null 2>&1
    fi
    touch "$dir/.done"
    echo "$dir"
}

# Today's formats: the small files of the formats corpus as they are, the larger ones as thumbnails in
# their own format (libvips writes HEIF, AVIF, WebP, PNG, TIFF and JPEG XL), and the RAW previews' hosts.
format_seeds() {
    local dir="$work/formats"
    [ -f "$dir/.done" ] && { echo "$dir"; return; }
    mkdir -p "$dir"
    find "$corpus/formats" -type f ! -name '*.tsv' -size -160k -exec cp -f {} "$dir/" \; 2>/dev/null
    for f in "$corpus"/formats/*; do
        case "$f" in *.tsv) continue ;; esac
        local name ext
        name="$(basename "$f")"
        ext="${name##*.}"
        case "$ext" in
        heic | heif | hif) vips thumbnail "$f" "$dir/thumb-$name.heic[Q=40]" 48 >/dev/null 2>&1 ;;
        avif | webp | png | tif | jxl) vips thumbnail "$f" "$dir/thumb-$name.$ext" 48 >/dev/null 2>&1 ;;
        esac
    done
    touch "$dir/.done"
    echo "$dir"
}

seeds_for() {
    case "$1" in
    fuzz_picture_decoder | fuzz_convert_image | fuzz_media_jpeg | fuzz_media_metadata) picture_seeds ;;
    fuzz_picture_formats) format_seeds ;;
    fuzz_convert_options) echo "$here/seeds/convert_options" ;;
    fuzz_page_format) echo "$here/seeds/page_format" ;;
    fuzz_caption_links) echo "$here/seeds/caption_links" ;;
    fuzz_tool_templates) echo "$here/seeds/tool_templates" ;;
    fuzz_command_line) echo "$here/seeds/command_line" ;;
    fuzz_version_number) echo "$here/seeds/version_number" ;;
    esac
}

# A decoder may wait on its own threads; on a busy machine a whole picture can take tens of seconds.
timeout_for() {
    case "$1" in
    fuzz_picture_decoder | fuzz_picture_formats | fuzz_convert_image) echo 90 ;;
    *) echo 25 ;;
    esac
}

max_len_for() {
    case "$1" in
    fuzz_picture_decoder | fuzz_picture_formats | fuzz_convert_image | fuzz_media_metadata) echo 262144 ;;
    fuzz_media_jpeg) echo 131072 ;;
    *) echo 4096 ;;
    esac
}

failed=0
summary=()
for t in "${targets[@]}"; do
    bin="$build/tests/fuzz/$t"
    if [ ! -x "$bin" ]; then
        echo "missing $bin (configure with CC=clang CXX=clang++ -DMARQUELO_FUZZ=ON and build 'fuzzers')" >&2
        failed=1
        continue
    fi
    log="$artifacts/$t.log"
    # Known reproducers first: each must now run clean.
    if [ -d "$here/regressions/$t" ] && [ -n "$(ls -A "$here/regressions/$t")" ]; then
        if ! "$bin" -rss_limit_mb=2560 "$here/regressions/$t"/* >"$artifacts/$t.regressions.log" 2>&1; then
            echo "$t: a saved reproducer fails again, see $artifacts/$t.regressions.log" >&2
            failed=1
        fi
    fi
    mkdir -p "$work/$t"
    "$bin" "$work/$t" "$(seeds_for "$t")" -max_total_time="$seconds" -max_len="$(max_len_for "$t")" \
        -timeout="$(timeout_for "$t")" -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix="$artifacts/$t-" >"$log" 2>&1
    status=$?
    execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)"
    speed="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n1)"
    cov="$(grep -oE 'cov: [0-9]+' "$log" | tail -n1 | cut -d' ' -f2)"
    units="$(find "$work/$t" -type f | wc -l)"
    verdict=ok
    if [ $status -ne 0 ]; then
        verdict="FAILED (exit $status)"
        failed=1
        grep -E 'ERROR|SUMMARY|property violated|Test unit written' "$log" | head -n 5 >&2
    fi
    summary+=("$(printf '%-22s %10s execs %8s/s  cov %6s  corpus %5s  %s' "$t" "${execs:-?}" "${speed:-?}" "${cov:-?}" "$units" "$verdict")")
done

printf '%s\n' "${summary[@]}"
exit $failed
