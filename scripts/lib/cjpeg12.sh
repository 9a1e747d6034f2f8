# shellcheck shell=bash
# libjpeg-turbo's cjpeg built for 12-bit samples, only to write 12-bit JPEG
# seeds: the 2.1 library is 8- or 12-bit at compile time, and Debian's is
# 8-bit. Built once into the fuzzing build, natively and without sanitizers.
# Sourced by scripts/fuzz.sh after setup.sh; expects FUZZ_ROOT.

# Prints the path of the tool; fails, once and with its log, when it cannot
# be built (a stamp keeps later runs from trying again; remove the folder
# to retry).
ensure_cjpeg12() {
  local dir=$FUZZ_ROOT/cjpeg12 tarball src
  if [ -f "$dir/.done" ] && [ -x "$dir/cjpeg" ]; then
    echo "$dir/cjpeg"
    return 0
  fi
  [ -f "$dir/.failed" ] && return 1
  mkdir -p "$dir"
  tarball=$(ls "$VORNELLE_DEPS_ROOT"/src/libjpeg-turbo_*.orig.tar.gz 2>/dev/null | head -1)
  if [ -z "$tarball" ]; then
    fetch_dep_sources >"$dir/build.log" 2>&1 || true
    tarball=$(ls "$VORNELLE_DEPS_ROOT"/src/libjpeg-turbo_*.orig.tar.gz 2>/dev/null | head -1)
  fi
  log "building a 12-bit cjpeg for the JPEG seeds (log: $dir/build.log)"
  rm -rf "$dir/src" "$dir/build"
  mkdir -p "$dir/src"
  if [ -n "$tarball" ] &&
    tar xzf "$tarball" -C "$dir/src" >>"$dir/build.log" 2>&1 &&
    src=$(echo "$dir"/src/libjpeg-turbo-*) &&
    cmake -S "$src" -B "$dir/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_C_COMPILER=clang-14 -DWITH_12BIT=1 -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
      >>"$dir/build.log" 2>&1 &&
    cmake --build "$dir/build" --target cjpeg-static >>"$dir/build.log" 2>&1 &&
    cp "$dir/build/cjpeg-static" "$dir/cjpeg"; then
    rm -rf "$dir/src" "$dir/build"
    touch "$dir/.done"
    echo "$dir/cjpeg"
    return 0
  fi
  log "no 12-bit cjpeg: going on without 12-bit seeds"
  tail -20 "$dir/build.log" >&2
  touch "$dir/.failed"
  return 1
}

# write_pnm FILE MAGIC WIDTH HEIGHT CHANNELS: a text PGM (P2) or PPM (P3)
# with 12-bit samples in a pattern.
write_pnm() {
  local file=$1 magic=$2 width=$3 height=$4 channels=$5 x y c line
  {
    printf '%s\n%s %s\n4095\n' "$magic" "$width" "$height"
    for ((y = 0; y < height; y++)); do
      line=
      for ((x = 0; x < width; x++)); do
        for ((c = 0; c < channels; c++)); do
          line+=" $(((x * 257 + y * 611 + c * 1365) % 4096))"
        done
      done
      echo "$line"
    done
  } >"$file"
}

# write_12bit_seeds OUT MAKE_SEEDS: a few 12-bit JPEGs (grey and colour,
# sequential and progressive) into OUT, each checked to be refused by our
# reader, which reads 8-bit samples only.
write_12bit_seeds() {
  local out=$1 make_seeds=$2 cjpeg work name args input
  cjpeg=$(ensure_cjpeg12) || return 0
  work=$(mktemp -d)
  write_pnm "$work/grey.pgm" P2 16 12 1
  write_pnm "$work/colour.ppm" P3 17 9 3
  mkdir -p "$out"
  local made=()
  while read -r name args; do
    input=$work/colour.ppm
    [[ $name == grey* ]] && input=$work/grey.pgm
    # shellcheck disable=SC2086 # the options are words
    "$cjpeg" $args -outfile "$out/$name.jpg" "$input" 2>>"$work/log" || {
      log "cjpeg failed on $name: $(tail -1 "$work/log")"
      continue
    }
    made+=("$out/$name.jpg")
  done <<'SEEDS'
grey-12bit
grey-12bit-progressive -progressive
grey-12bit-restarts -restart 1 -optimize
colour-12bit
colour-12bit-progressive -progressive
colour-12bit-444 -sample 1x1 -quality 95
SEEDS
  rm -rf "$work"
  [ ${#made[@]} -eq 0 ] || "$make_seeds" --refused jpeg "${made[@]}"
}
