# shellcheck shell=bash
# 12-bit JPEG seeds, written by the 12-bit cjpeg that scripts/lib/fuzzlibs.sh
# builds. Sourced by scripts/fuzz.sh after fuzzlibs.sh.

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
  local out=$1 make_seeds=$2 cjpeg=$FUZZ_DEPS/bin/cjpeg12 work name args input
  [ -x "$cjpeg" ] || {
    log "no 12-bit cjpeg (log: $FUZZ_DEPS/logs/cjpeg12.log): going on without 12-bit seeds"
    return 0
  }
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
