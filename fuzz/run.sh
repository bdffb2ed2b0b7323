#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer + ASan + UBSan) and runs each
# for SECONDS (default 60), then replays every saved crash or regression
# input under fuzz/regressions/<target>/. Any crash, leak or sanitizer report
# fails. Longer runs: fuzz/run.sh 3600, or run one target by hand, e.g.
#   build-fuzz/fuzz/fuzz_decode_job -dict=fuzz/carrier.dict build-fuzz/corpus/fuzz_decode_job
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPT_BUILD_FUZZ=ON -DPT_BUILD_GUI=OFF -DPT_BUILD_BENCH=OFF -DPT_WERROR=ON >/dev/null
cmake --build build-fuzz -j"$(nproc 2>/dev/null || echo 2)" --target fuzz_carrier_header \
  fuzz_decode_job fuzz_settings fuzz_key_rules fuzz_list_parser fuzz_make_corpus
corpus=build-fuzz/corpus
rm -rf "$corpus"
build-fuzz/fuzz/fuzz_make_corpus "$corpus"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for t in fuzz_carrier_header fuzz_decode_job fuzz_settings fuzz_key_rules fuzz_list_parser; do
  echo "== $t: replaying saved inputs"
  if compgen -G "fuzz/regressions/$t/*" >/dev/null; then
    "build-fuzz/fuzz/$t" fuzz/regressions/$t/*
  fi
  echo "== $t: fuzzing for ${seconds}s"
  dict=()
  case "$t" in fuzz_carrier_header|fuzz_decode_job) dict=(-dict=fuzz/carrier.dict) ;; esac
  "build-fuzz/fuzz/$t" "${dict[@]}" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
    -timeout=20 -print_final_stats=1 -artifact_prefix="build-fuzz/$t-" "$corpus/$t" 2>&1 | tail -n 15
done
echo "fuzzing: no crash, leak or sanitizer report"
