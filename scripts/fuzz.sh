#!/usr/bin/env bash
# Fuzzes the picture readers of image/ natively with libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer (see fuzz/). Installs what is missing, builds
# build/fuzz and runs the harnesses one after another.
#
#   scripts/fuzz.sh [SECONDS] [HARNESS...]   fuzz each harness SECONDS (60)
#   PARALLEL=1 scripts/fuzz.sh ...           the harnesses at the same time
#   scripts/fuzz.sh --replay [DIR...]        run the harnesses once over files
#   scripts/fuzz.sh --check                  fuzz/corpus and fuzz/regressions once
#   scripts/fuzz.sh --coverage [HARNESS...] [DIR...]
#                                            edges covered, ours and the libraries'
#
# Harnesses: bmp gif jpeg png image_object writers gif_diff. Corpora grow in
# build/fuzz/corpus/HARNESS, findings land in build/fuzz/findings/HARNESS and
# logs in build/fuzz/logs. A finding does not end the run: libFuzzer's fork
# mode keeps fuzzing and keeps every crash, leak, timeout and out-of-memory
# input. The exit status is 1 when a harness left findings.
# --replay takes folders named after a harness (or holding such folders, as
# fuzz/regressions does; the default); files in any other folder go through
# every harness. Regression files are not fuzzing seeds: one that still
# fails would cost every run its timeout first.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/lib/setup.sh"
source "$ROOT/scripts/lib/cjpeg12.sh"

# zlib, libpng and libjpeg-turbo come from their Debian sources, built here.
PACKAGES=(cmake ninja-build make clang-14 libclang-rt-14-dev dpkg-dev bzip2 xz-utils)
# Another folder keeps a check apart from a long run that uses build/fuzz.
FUZZ_ROOT=${VORNELLE_FUZZ_BUILD:-$BUILD_ROOT/fuzz}
source "$ROOT/scripts/lib/fuzzlibs.sh"
HARNESSES=(bmp gif jpeg png image_object)
# Pictures made from the input rather than files: writers (our writers read
# back) and gif_diff (giflib's encoder against our GIF reader).
HARNESSES+=(writers gif_diff)

# Inputs longer than these are not tried: each holds the largest seed
# (hat.bmp is 30602 bytes) with room to grow.
declare -A MAX_LEN=([bmp]=32768 [gif]=16384 [jpeg]=16384 [png]=32768 [image_object]=32768)
# A recipe of a few numbers, a palette and a pixel pattern that repeats.
MAX_LEN+=([writers]=4096 [gif_diff]=4096)
declare -A DICTS=(
  [bmp]="bmp.dict bmp-fields.dict"
  [gif]="gif.dict"
  [jpeg]="jpeg.dict"
  [png]="png.dict"
  [image_object]="bmp.dict bmp-fields.dict gif.dict jpeg.dict png.dict"
)
DICTS+=([writers]="" [gif_diff]="")
declare -A SEED_FOLDERS=([bmp]=bmp [gif]=gif [jpeg]=jpeg [png]=png [image_object]="bmp gif jpeg png")
declare -A HAT_FILES=([bmp]=hat.bmp [gif]=hat.gif [jpeg]=hat.jpeg [png]=hat.png
  [image_object]="hat.bmp hat.gif hat.jpeg hat.png")
# No files to start from: their inputs are no pictures.
SEED_FOLDERS+=([writers]="" [gif_diff]="")
HAT_FILES+=([writers]="" [gif_diff]="")
# The timeout allows for the sanitizers inside libjpeg-turbo: a legitimate
# progressive picture of 100 scans at 4096 x 4096 takes 9 s.
COMMON_FLAGS=(-timeout=25 -rss_limit_mb=2048)
REPLAY_SECONDS=25

is_harness() {
  local h
  for h in "${HARNESSES[@]}"; do [ "$h" = "$1" ] && return 0; done
  return 1
}

# giflib's source, for gif_diff: Debian's orig tarball extracted into the
# build folder; its path.
giflib_source() {
  local tarball
  fetch_debian_source giflib >&2 || return 1
  tarball=$(ls "$VORNELLE_DEPS_ROOT"/src/giflib_*.orig.tar.gz | head -1)
  local out=$FUZZ_ROOT/giflib name
  name=$(basename "$tarball" .orig.tar.gz)
  if [ ! -f "$out/$name.done" ]; then
    rm -rf "$out"
    mkdir -p "$out"
    tar xzf "$tarball" -C "$out"
    touch "$out/$name.done"
  fi
  ls -d "$out"/giflib-*/ | head -1 | sed 's:/$::'
}

built=0
build() {
  [ "$built" = 0 ] || return 0
  built=1
  ensure_packages
  ensure_fuzz_libs
  local libs giflib
  libs=$(fuzz_libs_prefix)
  giflib=$(giflib_source)
  # Configured again when the cache holds other library folders (one made
  # before the libraries were built here links Debian's).
  if [ ! -f "$FUZZ_ROOT/build.ninja" ] ||
    ! grep -qx "VORNELLE_FUZZ_LIBS:PATH=$libs" "$FUZZ_ROOT/CMakeCache.txt" ||
    ! grep -qx "VORNELLE_GIFLIB_SOURCE:PATH=$giflib" "$FUZZ_ROOT/CMakeCache.txt"; then
    cmake -S "$ROOT/fuzz" -B "$FUZZ_ROOT" -G Ninja \
      -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
      -DVORNELLE_FUZZ_LIBS="$libs" -DVORNELLE_GIFLIB_SOURCE="$giflib" >/dev/null
  fi
  cmake --build "$FUZZ_ROOT"
  log "checking the Win32 stand-in"
  "$FUZZ_ROOT/standin_test"
}

shared_images() {
  local dir
  for dir in "${VORNELLE_SHARED_IMAGES:-}" "$ROOT/../shared/images" /work/shared/images; do
    [ -n "$dir" ] && [ -d "$dir" ] && { echo "$dir"; return 0; }
  done
  return 1
}

# Seeds: our generator's pictures, 12-bit JPEGs when a 12-bit cjpeg can be
# built, and the small shared ones (the large harvesters pictures would only
# slow every run down). The generator's log holds the libraries' complaints
# about the seeds made to be refused.
prepare_seeds() {
  local generated=$FUZZ_ROOT/generated h f images
  local seedlog=$FUZZ_ROOT/logs/make_seeds.log
  rm -rf "$generated" "$FUZZ_ROOT/seeds"
  mkdir -p "$FUZZ_ROOT/logs"
  "$FUZZ_ROOT/make_seeds" "$generated" >"$seedlog" 2>&1 || {
    log "writing the seeds failed (log: $seedlog)"
    grep 'make_seeds:' "$seedlog" >&2 || tail -20 "$seedlog" >&2
    return 1
  }
  write_12bit_seeds "$generated/jpeg" "$FUZZ_ROOT/make_seeds"
  local counts=()
  for f in bmp gif jpeg png; do counts+=("$f $(find "$generated/$f" -type f | wc -l)"); done
  log "seeds: $(IFS=,; echo "${counts[*]}")"
  images=$(shared_images) || images=
  for h in "${HARNESSES[@]}"; do
    mkdir -p "$FUZZ_ROOT/seeds/$h"
    for f in ${SEED_FOLDERS[$h]}; do
      cp "$generated/$f"/* "$FUZZ_ROOT/seeds/$h/"
    done
    if [ -n "$images" ]; then
      for f in ${HAT_FILES[$h]}; do
        [ -f "$images/$f" ] && cp "$images/$f" "$FUZZ_ROOT/seeds/$h/"
      done
    fi
  done
  [ -n "$images" ] || log "no shared/images found: seeding with generated pictures only"
}

dictionary_for() {
  local h=$1 out=$FUZZ_ROOT/dict/$1.dict f
  mkdir -p "$FUZZ_ROOT/dict"
  : >"$out"
  for f in ${DICTS[$h]}; do cat "$ROOT/fuzz/dict/$f" >>"$out"; done
  echo "$out"
}

# One line from the fork mode's last status line: executions, coverage,
# features, corpus and the findings this run added.
summarise() {
  local h=$1 logfile=$2 status=$3 before=$4 line execs cov corp findings
  line=$(grep -E '^#[0-9]+: cov: ' "$logfile" | tail -1)
  execs=$(sed -E 's/^#([0-9]+):.*/\1/' <<<"$line")
  cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' <<<"$line")
  corp=$(find "$FUZZ_ROOT/corpus/$h" -type f | wc -l)
  findings=$(($(count_findings "$h") - before))
  printf '[fuzz] %-12s execs %-9s %-22s corpus %-5s new findings %s%s\n' \
    "$h" "${execs:-?}" "${cov:-cov: ?}" "$corp" "$findings" \
    "$([ "$status" = 0 ] || echo " (libFuzzer exit $status, see $logfile)")"
}

count_findings() {
  find "$FUZZ_ROOT/findings/$1" -type f | wc -l
}

# Fuzzes one harness; prints its summary line, fails when it left findings.
fuzz_one() {
  local h=$1 seconds=$2 status=0 before logfile=$FUZZ_ROOT/logs/$1.log dict=() kept=()
  mkdir -p "$FUZZ_ROOT/corpus/$h" "$FUZZ_ROOT/findings/$h"
  # libFuzzer refuses an empty dictionary file.
  [ -z "${DICTS[$h]}" ] || dict=(-dict="$(dictionary_for "$h")")
  # A run starts from what earlier campaigns kept; new inputs go to the first folder.
  [ -d "$ROOT/fuzz/corpus/$h" ] && kept=("$ROOT/fuzz/corpus/$h")
  before=$(count_findings "$h")
  log "fuzzing $h for ${seconds}s (log: $logfile)"
  "$FUZZ_ROOT/fuzz_$h" "${COMMON_FLAGS[@]}" -max_len="${MAX_LEN[$h]}" \
    -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
    -max_total_time="$seconds" -print_final_stats=1 \
    "${dict[@]}" -artifact_prefix="$FUZZ_ROOT/findings/$h/" \
    "$FUZZ_ROOT/corpus/$h" "$FUZZ_ROOT/seeds/$h" "${kept[@]}" >"$logfile" 2>&1 || status=$?
  summarise "$h" "$logfile" "$status" "$before"
  [ "$status" = 0 ] && [ "$(count_findings "$h")" = "$before" ]
}

# With PARALLEL=1 every harness runs at the same time (for long runs; they
# share the cores), otherwise one after another.
fuzz_all() {
  local seconds=$1
  shift
  local selected=("$@") h failed=0
  [ ${#selected[@]} -gt 0 ] || selected=("${HARNESSES[@]}")
  for h in "${selected[@]}"; do
    is_harness "$h" || { log "no harness named $h (have: ${HARNESSES[*]})"; return 2; }
  done
  build
  prepare_seeds
  mkdir -p "$FUZZ_ROOT/logs"
  if [ "${PARALLEL:-0}" = 1 ]; then
    local pids=()
    for h in "${selected[@]}"; do
      fuzz_one "$h" "$seconds" >"$FUZZ_ROOT/logs/$h.summary" &
      pids+=($!)
    done
    for h in "${!pids[@]}"; do wait "${pids[$h]}" || failed=1; done
    for h in "${selected[@]}"; do cat "$FUZZ_ROOT/logs/$h.summary"; done
  else
    local summary=()
    for h in "${selected[@]}"; do
      summary+=("$(fuzz_one "$h" "$seconds")") || failed=1
    done
    printf '%s\n' "${summary[@]}"
  fi
  # Fork mode keeps the inputs, not the reports: running one shows its report.
  [ "$failed" = 0 ] || log "to see a finding's report: $FUZZ_ROOT/fuzz_HARNESS FILE"
  return $failed
}

# The lines of a replay's log that say which file failed and how.
show_report() {
  grep -E 'Running:|ERROR|SUMMARY|ALARM|message box|win32 stand-in|read gave|changed the' \
    "$1" | tail -6 >&2 || true
}

# Runs one harness over each file by itself, so that every file counts. A
# run longer than the timeout fails even when libFuzzer's alarm missed it:
# the alarm signal can land in libFuzzer's memory-watching thread, which
# ignores it.
replay_files() {
  local h=$1
  shift
  local f start elapsed status
  for f in "$@"; do
    start=$(date +%s)
    status=0
    timeout --signal=KILL 300 "$FUZZ_ROOT/fuzz_$h" "${COMMON_FLAGS[@]}" "$f" \
      >"$FUZZ_ROOT/logs/replay.log" 2>&1 || status=$?
    elapsed=$(($(date +%s) - start))
    if [ "$status" = 0 ] && [ "$elapsed" -le "$REPLAY_SECONDS" ]; then
      replay_passed=$((replay_passed + 1))
    else
      replay_failed=$((replay_failed + 1))
      log "FAILED: $h on $f (exit $status after ${elapsed}s)"
      show_report "$FUZZ_ROOT/logs/replay.log"
    fi
  done
}

files_in() {
  find "$1" -maxdepth 1 -type f ! -name '*.md' -print0 | sort -z | xargs -0 -r printf '%s\n'
}

replay() {
  local dirs=("$@") dir h name
  [ ${#dirs[@]} -gt 0 ] || dirs=("$ROOT/fuzz/regressions")
  build
  mkdir -p "$FUZZ_ROOT/logs"
  replay_passed=0
  replay_failed=0
  for dir in "${dirs[@]}"; do
    [ -d "$dir" ] || { log "no folder $dir"; return 2; }
    name=$(basename "$dir")
    local files=()
    mapfile -t files < <(files_in "$dir")
    if is_harness "$name"; then
      [ ${#files[@]} -eq 0 ] || replay_files "$name" "${files[@]}"
      continue
    fi
    for h in "${HARNESSES[@]}"; do
      if [ -d "$dir/$h" ]; then
        local inner=()
        mapfile -t inner < <(files_in "$dir/$h")
        [ ${#inner[@]} -eq 0 ] || replay_files "$h" "${inner[@]}"
      fi
      [ ${#files[@]} -eq 0 ] || replay_files "$h" "${files[@]}"
    done
  done
  echo "replay: $replay_passed passed, $replay_failed failed"
  [ "$replay_failed" = 0 ]
}

# Runs a harness once over its minimised corpus in fuzz/corpus, all files in
# one process: hundreds of files, each far below the timeout.
replay_corpus() {
  local h=$1 files status=0
  mapfile -t files < <(files_in "$ROOT/fuzz/corpus/$h")
  [ ${#files[@]} -gt 0 ] || return 0
  timeout --signal=KILL 900 "$FUZZ_ROOT/fuzz_$h" "${COMMON_FLAGS[@]}" "${files[@]}" \
    >"$FUZZ_ROOT/logs/corpus-$h.log" 2>&1 || status=$?
  if [ "$status" = 0 ]; then
    echo "corpus $h: ${#files[@]} files passed"
  else
    log "FAILED: corpus $h (exit $status, log $FUZZ_ROOT/logs/corpus-$h.log)"
    show_report "$FUZZ_ROOT/logs/corpus-$h.log"
    return 1
  fi
}

# One corpus per core: jpeg's alone takes as long as all the others. wait -n
# does not say which job ended, so each job leaves its status in a file.
replay_corpora() {
  local h status failed=0 running=0 ran=() cores
  cores=$(nproc)
  build
  mkdir -p "$FUZZ_ROOT/logs"
  for h in "${HARNESSES[@]}"; do
    [ -d "$ROOT/fuzz/corpus/$h" ] || continue
    if [ "$running" -ge "$cores" ]; then
      wait -n || true
      running=$((running - 1))
    fi
    rm -f "$FUZZ_ROOT/logs/corpus-$h.status"
    (
      status=0
      replay_corpus "$h" || status=$?
      echo "$status" >"$FUZZ_ROOT/logs/corpus-$h.status"
    ) >"$FUZZ_ROOT/logs/corpus-$h.out" 2>&1 &
    running=$((running + 1))
    ran+=("$h")
  done
  wait
  for h in "${ran[@]}"; do
    cat "$FUZZ_ROOT/logs/corpus-$h.out"
    status=$(cat "$FUZZ_ROOT/logs/corpus-$h.status" 2>/dev/null || echo 1)
    [ "$status" = 0 ] || failed=1
  done
  return $failed
}

# Sums the edges of the functions libFuzzer's coverage report lists, for our
# sources and for the libraries'; the harnesses, the stand-in and the C++
# library count as neither.
coverage_summary() {
  awk -v h="$1" -v image="$ROOT/image/" -v framework="$ROOT/framework/" \
    -v libs="$(fuzz_libs_sources)/" '
    function share(c, t) { return sprintf("%d/%d (%.1f%%)", c, t, t ? 100 * c / t : 0) }
    /^(UN)?COVERED_FUNC: / {
      split($5, edges, "/")
      file = $NF
      while (sub(/\/[^\/]+\/\.\.\//, "/", file)) {}
      if (index(file, image) == 1 || index(file, framework) == 1) {
        ours += edges[1]; ours_total += edges[2]
      } else if (index(file, libs) == 1) {
        theirs += edges[1]; theirs_total += edges[2]
      }
    }
    END {
      printf "[coverage] %-12s ours %s  libraries %s\n", h, share(ours, ours_total),
        share(theirs, theirs_total)
    }' "$2"
}

# Runs each harness once over a corpus (the folders given, or its corpus in
# build/fuzz and in fuzz/corpus) and prints what share of the edges it covers.
coverage() {
  local selected=() corpora=() arg h dirs status failed=0
  for arg in "$@"; do
    if is_harness "$arg"; then
      selected+=("$arg")
    elif [ -d "$arg" ]; then
      corpora+=("$arg")
    else
      log "neither a harness nor a folder: $arg (harnesses: ${HARNESSES[*]})"
      return 2
    fi
  done
  [ ${#selected[@]} -gt 0 ] || selected=("${HARNESSES[@]}")
  build
  mkdir -p "$FUZZ_ROOT/logs"
  for h in "${selected[@]}"; do
    dirs=("${corpora[@]}")
    if [ ${#dirs[@]} -eq 0 ]; then
      for arg in "$FUZZ_ROOT/corpus/$h" "$ROOT/fuzz/corpus/$h"; do
        [ -d "$arg" ] && dirs+=("$arg")
      done
    fi
    [ ${#dirs[@]} -gt 0 ] || { log "no corpus for $h"; failed=1; continue; }
    status=0
    "$FUZZ_ROOT/fuzz_$h" "${COMMON_FLAGS[@]}" -runs=0 -print_coverage=1 "${dirs[@]}" \
      >"$FUZZ_ROOT/logs/coverage-$h.log" 2>&1 || status=$?
    if [ "$status" = 0 ]; then
      coverage_summary "$h" "$FUZZ_ROOT/logs/coverage-$h.log"
    else
      log "FAILED: coverage of $h (exit $status, log $FUZZ_ROOT/logs/coverage-$h.log)"
      show_report "$FUZZ_ROOT/logs/coverage-$h.log"
      failed=1
    fi
  done
  return $failed
}

case "${1:-}" in
--replay)
  shift
  replay "$@"
  ;;
--coverage)
  shift
  coverage "$@"
  ;;
--check)
  # What the tests run: the corpora and every regression file.
  status=0
  replay_corpora || status=1
  replay || status=1
  exit $status
  ;;
*)
  if [ $# -gt 0 ] && [[ $1 =~ ^[0-9]+$ ]]; then
    seconds=$1
    shift
    fuzz_all "$seconds" "$@"
  else
    fuzz_all 60 "$@"
  fi
  ;;
esac
