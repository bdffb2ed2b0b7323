#!/usr/bin/env bash
# Runs both benchmarks and rewrites README's tables with their output, between
# the markers <!-- engine_bench begin/end --> and <!-- pipeline_bench begin/end -->.
#   bench/update-readme.sh [build folder = build] [pipeline_bench arguments...]
# The outputs are also kept as <build>/bench/*.md.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
"$build/bench/engine_bench" | tee "$build/bench/engine_bench.md"
"$build/bench/pipeline/pipeline_bench" "$@" | tee "$build/bench/pipeline_bench.md"

# Replaces the lines between "<!-- $1 begin -->" and "<!-- $1 end -->" with file $2.
replace() {
  grep -qx "<!-- $1 begin -->" README.md && grep -qx "<!-- $1 end -->" README.md || {
    echo "README.md lacks the markers for $1" >&2
    exit 1
  }
  awk -v begin="<!-- $1 begin -->" -v end="<!-- $1 end -->" -v file="$2" '
    $0 == begin { print; while ((getline line < file) > 0) print line; skip = 1; next }
    $0 == end { skip = 0 }
    !skip { print }' README.md > README.md.tmp
  mv README.md.tmp README.md
}
replace engine_bench "$build/bench/engine_bench.md"
replace pipeline_bench "$build/bench/pipeline_bench.md"
echo "README.md updated"
