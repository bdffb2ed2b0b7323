#!/usr/bin/env bash
# Builds the whole program and test suite with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs every test; any report fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DPT_SANITIZE=ON -DPT_WERROR=ON -DPT_BUILD_BENCH=OFF
cmake --build build-asan -j"$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp"
QT_QPA_PLATFORM=offscreen ctest --test-dir build-asan --output-on-failure -j"$jobs"
