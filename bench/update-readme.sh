#!/usr/bin/env bash
# Runs both benchmarks and rewrites the tables of docs/benchmarks.md with their
# output, between the markers <!-- engine_bench begin/end --> and <!-- pipeline_bench begin/end -->.
#   bench/update-readme.sh [build folder = build] [pipeline_bench arguments...]
# The outputs are also kept as <build>/bench/*.md.
set -euo pipefail
cd "$(dirname "$0")/.."
doc=docs/benchmarks.md
build=${1:-build}
shift || true
"$build/bench/engine_bench" | tee "$build/bench/engine_bench.md"
"$build/bench/pipeline/pipeline_bench" "$@" | tee "$build/bench/pipeline_bench.md"

# Replaces the lines between "<!-- $1 begin -->" and "<!-- $1 end -->" with file $2.
replace() {
  grep -qx "<!-- $1 begin -->" "$doc" && grep -qx "<!-- $1 end -->" "$doc" || {
    echo "$doc lacks the markers for $1" >&2
    exit 1
  }
  awk -v begin="<!-- $1 begin -->" -v end="<!-- $1 end -->" -v file="$2" '
    $0 == begin { print; while ((getline line < file) > 0) print line; skip = 1; next }
    $0 == end { skip = 0 }
    !skip { print }' "$doc" > "$doc.tmp"
  mv "$doc.tmp" "$doc"
}
replace engine_bench "$build/bench/engine_bench.md"
replace pipeline_bench "$build/bench/pipeline_bench.md"
echo "$doc updated"
