#!/usr/bin/env bash
# Builds the libFuzzer targets of the waveform readers with clang and runs each
# for a while (60 s by default; FUZZ_SECONDS changes it). Not part of CI.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${FUZZ_DIR:-"$root/build-fuzz"}
seconds=${FUZZ_SECONDS:-60}
mkdir -p "$out"
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I"$root/src/waveform")
for target in text binary; do
  clang++ "${flags[@]}" "$root/tests/waveform/fuzz/fuzz_${target}_wave.cpp" \
    "$root/src/waveform/WaveParse.cpp" -o "$out/fuzz_${target}_wave"
  mkdir -p "$out/corpus_$target"
  echo "fuzzing the $target reader for ${seconds}s"
  "$out/fuzz_${target}_wave" -max_total_time="$seconds" -max_len=65536 \
    -artifact_prefix="$out/${target}-" \
    "$out/corpus_$target" 2>&1 | tail -n 3
done
