#!/usr/bin/env bash
# Fuzzes the picture readers of image/ natively with libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer (see fuzz/). Installs what is missing, builds
# the libraries once per machine and build/fuzz, and runs the harnesses one
# after another.
#
#   scripts/fuzz.sh [SECONDS] [HARNESS...]   fuzz each harness SECONDS (60)
#   PARALLEL=1 scripts/fuzz.sh ...           the harnesses at the same time
#   scripts/fuzz.sh --replay [DIR...]        run the harnesses once over files
#   scripts/fuzz.sh --check                  fuzz/corpus and fuzz/regressions once
#   scripts/fuzz.sh --build                  only what --check runs, built
#   scripts/fuzz.sh --coverage [HARNESS...] [DIR...]
#                                            edges covered, ours and the libraries'
#
# The harnesses are the rows of fuzz/harnesses.txt. What a run makes stays in
# build/fuzz (corpus/, findings/, logs/; see fuzz/README.md); a finding does
# not end the run. The exit status is 1 when a harness failed or left
# findings, 2 for an argument it does not take.
# --replay takes folders named after a harness (or holding such folders, as
# fuzz/regressions does; the default); files in any other folder go through
# every harness.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/lib/setup.sh"
source "$ROOT/scripts/lib/fuzzlibs.sh"
source "$ROOT/scripts/lib/cjpeg12.sh"

PACKAGES=("${FUZZ_PACKAGES[@]}")
# Another folder keeps a check apart from a long run that uses build/fuzz.
FUZZ_ROOT=${VORNELLE_FUZZ_BUILD:-$BUILD_ROOT/fuzz}
# The timeout allows for the sanitizers inside libjpeg-turbo: a legitimate
# progressive picture of 100 scans at 4096 x 4096 takes 9 s.
COMMON_FLAGS=(-timeout=25 -rss_limit_mb=2048)
REPLAY_SECONDS=25

HARNESSES=()
declare -A MAX_LEN DICTS SEED_FOLDERS HAT_FILES
while read -r name max_len dicts seeds hats _; do
  [[ -z $name || $name == '#'* ]] && continue
  HARNESSES+=("$name")
  dicts=${dicts#-} seeds=${seeds#-} hats=${hats#-}
  MAX_LEN[$name]=$max_len DICTS[$name]=${dicts//,/ }
  SEED_FOLDERS[$name]=${seeds//,/ } HAT_FILES[$name]=${hats//,/ }
done <"$ROOT/fuzz/harnesses.txt"

is_harness() { [[ " ${HARNESSES[*]} " == *" $1 "* ]]; }

build() {
  ensure_packages
  ensure_fuzz_deps
  # Configured again for other libraries (CMake keeps the paths it found).
  if ! grep -qsx "VORNELLE_FUZZ_LIBS:PATH=$FUZZ_DEPS" "$FUZZ_ROOT/CMakeCache.txt" ||
    [ ! -f "$FUZZ_ROOT/build.ninja" ]; then
    cmake -S "$ROOT/fuzz" -B "$FUZZ_ROOT" -G Ninja -DCMAKE_C_COMPILER=clang-14 \
      -DCMAKE_CXX_COMPILER=clang++-14 -DVORNELLE_FUZZ_LIBS="$FUZZ_DEPS" >/dev/null
  fi
  # The seed maker only for fuzzing: the check builds no more than it runs.
  local targets=(standin_test "${HARNESSES[@]/#/fuzz_}")
  [ "$mode" != fuzz ] || targets+=(make_seeds)
  cmake --build "$FUZZ_ROOT" --target "${targets[@]}"
  log "checking the Win32 stand-in"
  "$FUZZ_ROOT/standin_test"
  mkdir -p "$FUZZ_ROOT/logs"
}

# Seeds: our generator's pictures, 12-bit JPEGs, and the small shared ones
# (the large harvesters pictures would only slow every run down). The
# generator's log holds the libraries' complaints about the seeds made to be
# refused.
prepare_seeds() {
  local generated=$FUZZ_ROOT/generated seedlog=$FUZZ_ROOT/logs/make_seeds.log h f images
  rm -rf "$generated" "$FUZZ_ROOT/seeds"
  "$FUZZ_ROOT/make_seeds" "$generated" >"$seedlog" 2>&1 || {
    log "writing the seeds failed (log: $seedlog)"
    grep 'make_seeds:' "$seedlog" >&2 || tail -20 "$seedlog" >&2
    return 1
  }
  write_12bit_seeds "$generated/jpeg" "$FUZZ_ROOT/make_seeds"
  local counts=()
  for f in bmp gif jpeg png; do counts+=("$f $(find "$generated/$f" -type f | wc -l)"); done
  log "seeds: $(IFS=,; echo "${counts[*]}")"
  for images in "${VORNELLE_SHARED_IMAGES:-}" "$ROOT/../shared/images" ''; do
    [ -d "$images" ] && break
  done
  [ -n "$images" ] || log "no shared/images found: seeding with generated pictures only"
  for h in "${HARNESSES[@]}"; do
    mkdir -p "$FUZZ_ROOT/seeds/$h"
    for f in ${SEED_FOLDERS[$h]}; do cp "$generated/$f"/* "$FUZZ_ROOT/seeds/$h/"; done
    for f in ${HAT_FILES[$h]}; do
      if [ -n "$images" ] && [ -f "$images/$f" ]; then cp "$images/$f" "$FUZZ_ROOT/seeds/$h/"; fi
    done
  done
}

count_findings() { find "$FUZZ_ROOT/findings/$1" -type f | wc -l; }

# Fuzzes one harness; prints a line from the fork mode's last status line
# (executions, coverage, features, corpus and the findings this run added)
# and fails when it left findings.
fuzz_one() {
  local h=$1 seconds=$2 status=0 logfile=$FUZZ_ROOT/logs/$1.log dict=() kept=() f
  local before line execs cov findings
  mkdir -p "$FUZZ_ROOT/corpus/$h" "$FUZZ_ROOT/findings/$h" "$FUZZ_ROOT/dict"
  # libFuzzer refuses an empty dictionary file.
  if [ -n "${DICTS[$h]}" ]; then
    for f in ${DICTS[$h]}; do cat "$ROOT/fuzz/dict/$f.dict"; done >"$FUZZ_ROOT/dict/$h.dict"
    dict=(-dict="$FUZZ_ROOT/dict/$h.dict")
  fi
  # A run starts from what earlier campaigns kept; new inputs go to the first folder.
  [ -d "$ROOT/fuzz/corpus/$h" ] && kept=("$ROOT/fuzz/corpus/$h")
  before=$(count_findings "$h")
  log "fuzzing $h for ${seconds}s (log: $logfile)"
  "$FUZZ_ROOT/fuzz_$h" "${COMMON_FLAGS[@]}" -max_len="${MAX_LEN[$h]}" \
    -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
    -max_total_time="$seconds" -print_final_stats=1 \
    "${dict[@]}" -artifact_prefix="$FUZZ_ROOT/findings/$h/" \
    "$FUZZ_ROOT/corpus/$h" "$FUZZ_ROOT/seeds/$h" "${kept[@]}" >"$logfile" 2>&1 || status=$?
  line=$(grep -E '^#[0-9]+: cov: ' "$logfile" | tail -1) || true
  execs=$(sed -nE 's/^#([0-9]+):.*/\1/p' <<<"$line")
  cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' <<<"$line") || true
  findings=$(($(count_findings "$h") - before))
  printf '[fuzz] %-12s execs %-9s %-22s corpus %-5s new findings %s%s\n' \
    "$h" "${execs:-?}" "${cov:-cov: ?}" "$(find "$FUZZ_ROOT/corpus/$h" -type f | wc -l)" \
    "$findings" "$([ "$status" = 0 ] || echo " (libFuzzer exit $status, see $logfile)")"
  [ "$status" = 0 ] && [ "$findings" = 0 ]
}

# With PARALLEL=1 every harness runs at the same time (for long runs; they
# share the cores), otherwise one after another; the summaries come last.
fuzz_all() {
  local h pid pids=() failed=0
  prepare_seeds
  for h in "${SELECTED[@]}"; do
    fuzz_one "$h" "$FUZZ_SECONDS" >"$FUZZ_ROOT/logs/$h.summary" &
    if [ "${PARALLEL:-0}" = 1 ]; then pids+=($!); else wait $! || failed=1; fi
  done
  for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
  for h in "${SELECTED[@]}"; do cat "$FUZZ_ROOT/logs/$h.summary"; done
  # Fork mode keeps the inputs, not the reports: running one shows its report.
  [ "$failed" = 0 ] || log "to see a finding's report: $FUZZ_ROOT/fuzz_HARNESS FILE"
  return $failed
}

# run_harness HARNESS SECONDS WHAT ARGS...: one run, logged to logs/KIND-HARNESS.log
# (KIND: WHAT's first word). Over SECONDS fails even when libFuzzer's alarm
# missed it: the signal can land in its memory-watching thread, which ignores it.
run_harness() {
  local h=$1 seconds=$2 what=$3 status=0 start=$SECONDS logfile
  logfile=$FUZZ_ROOT/logs/${3%% *}-$1.log
  shift 3
  timeout --signal=KILL $((seconds + 300)) "$FUZZ_ROOT/fuzz_$h" "${COMMON_FLAGS[@]}" "$@" \
    >"$logfile" 2>&1 </dev/null || status=$?
  [ "$status" = 0 ] && [ $((SECONDS - start)) -le "$seconds" ] && return 0
  log "FAILED: $h $what (exit $status after $((SECONDS - start))s, log $logfile)"
  grep -E 'Running:|ERROR|SUMMARY|ALARM|message box|win32 stand-in|read gave|changed the' \
    "$logfile" | tail -6 >&2 || true
  return 1
}

files_in() {
  find "$1" -maxdepth 1 -type f ! -name '*.md' -print0 | sort -z | xargs -0 -r printf '%s\n'
}

# Runs one harness over each file of a folder by itself, so that every file counts.
replay_files() {
  local h=$1 f
  [ -d "$2" ] || return 0
  while read -r f; do
    if run_harness "$h" "$REPLAY_SECONDS" "replay $f" "$f"; then
      replay_passed=$((replay_passed + 1))
    else
      replay_failed=$((replay_failed + 1))
    fi
  done < <(files_in "$2")
}

replay() {
  local dir h
  replay_passed=0 replay_failed=0
  for dir in "${FOLDERS[@]:-$ROOT/fuzz/regressions}"; do
    if is_harness "$(basename "$dir")"; then
      replay_files "$(basename "$dir")" "$dir"
      continue
    fi
    for h in "${HARNESSES[@]}"; do
      replay_files "$h" "$dir/$h"
      replay_files "$h" "$dir"
    done
  done
  echo "replay: $replay_passed passed, $replay_failed failed"
  [ "$replay_failed" = 0 ]
}

# Runs a harness once over its minimised corpus in fuzz/corpus, all files in
# one process: hundreds of files, each far below the timeout.
replay_corpus() {
  local files
  mapfile -t files < <(files_in "$ROOT/fuzz/corpus/$1")
  [ ${#files[@]} -gt 0 ] || return 0
  run_harness "$1" 900 corpus "${files[@]}" || return 1
  echo "corpus $1: ${#files[@]} files passed"
}

# One corpus per core: jpeg's alone takes as long as all the others. Bash
# keeps the status of each finished job for its wait.
replay_corpora() {
  local h pids=() ran=() failed=0 i
  for h in "${HARNESSES[@]}"; do
    [ -d "$ROOT/fuzz/corpus/$h" ] || continue
    while [ "$(jobs -pr | wc -l)" -ge "$(nproc)" ]; do wait -n || true; done
    replay_corpus "$h" >"$FUZZ_ROOT/logs/corpus-$h.out" 2>&1 &
    pids+=($!) ran+=("$h")
  done
  for i in "${!ran[@]}"; do
    wait "${pids[$i]}" || failed=1
    cat "$FUZZ_ROOT/logs/corpus-${ran[$i]}.out"
  done
  return $failed
}

# Sums the edges of the functions libFuzzer's coverage report lists, for our
# sources and for the libraries'; the harnesses, the stand-in and the C++
# library count as neither.
coverage_summary() {
  awk -v h="$1" -v image="$ROOT/image/" -v framework="$ROOT/framework/" -v libs="$FUZZ_DEPS/" '
    function share(k) { return sprintf("%d/%d (%.1f%%)", n[k], t[k], t[k] ? 100 * n[k] / t[k] : 0) }
    /^(UN)?COVERED_FUNC: / {
      split($5, edges, "/")
      file = $NF
      while (sub(/\/[^\/]+\/\.\.\//, "/", file)) {}
      k = index(file, libs) == 1 ? "libs" : "-"
      if (index(file, image) == 1 || index(file, framework) == 1) k = "ours"
      n[k] += edges[1]; t[k] += edges[2]
    }
    END { printf "[coverage] %-12s ours %s  libraries %s\n", h, share("ours"), share("libs") }' "$2"
}

# Runs each harness once over a corpus (the folders given, or its corpus in
# build/fuzz and in fuzz/corpus) and prints what share of the edges it covers.
coverage() {
  local h dir dirs failed=0
  for h in "${SELECTED[@]}"; do
    dirs=("${FOLDERS[@]}")
    [ ${#dirs[@]} -gt 0 ] || for dir in "$FUZZ_ROOT/corpus/$h" "$ROOT/fuzz/corpus/$h"; do
      if [ -d "$dir" ]; then dirs+=("$dir"); fi
    done
    [ ${#dirs[@]} -gt 0 ] || { log "no corpus for $h"; failed=1; continue; }
    if run_harness "$h" 3600 coverage -runs=0 -print_coverage=1 "${dirs[@]}"; then
      coverage_summary "$h" "$FUZZ_ROOT/logs/coverage-$h.log"
    else
      failed=1
    fi
  done
  return $failed
}

# The arguments: a mode, then the harnesses (SELECTED, all when none) and the
# folders (FOLDERS) it takes; anything else is status 2, before any build.
mode=fuzz FUZZ_SECONDS=60 SELECTED=() FOLDERS=()
case "${1:-}" in
--replay | --check | --coverage | --build) mode=${1#--} && shift ;;
'' | *[!0-9]*) ;;
*) FUZZ_SECONDS=$1 && shift ;;
esac
for arg in "$@"; do
  if [[ $mode == @(fuzz|coverage) ]] && is_harness "$arg"; then
    SELECTED+=("$arg")
  elif [[ $mode == @(replay|coverage) ]] && [ -d "$arg" ]; then
    FOLDERS+=("$arg")
  else
    log "$arg: not a harness (fuzzing, --coverage) or folder (--replay, --coverage) here"
    log "harnesses: ${HARNESSES[*]}"
    exit 2
  fi
done
[ ${#SELECTED[@]} -gt 0 ] || SELECTED=("${HARNESSES[@]}")

build
case $mode in
build) ;;
fuzz) fuzz_all ;;
replay) replay ;;
coverage) coverage ;;
check)
  # What the tests run: the corpora and every regression file.
  status=0
  replay_corpora || status=1
  replay || status=1
  exit $status
  ;;
esac
