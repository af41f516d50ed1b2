#!/usr/bin/env bash
# Times two builds' filter_bench in turns, so that both meet the same load
# on a shared machine, and prints each benchmark's fastest run per build.
#   bash bench/compare.sh <before-build> <after-build> [filter regex] [rounds]
# A build folder is one configured with -DDENOISE_BUILD_BENCHMARKS=ON.
set -euo pipefail
before=$1
after=$2
filter=${3:-'fast/mode[123]/(1000|2000)'}
rounds=${4:-3}
results=$(mktemp)
trap 'rm -f "$results"' EXIT
for ((round = 1; round <= rounds; ++round)); do
    for build in "$before" "$after"; do
        "$build/bench/filter_bench" --benchmark_filter="$filter" --benchmark_color=false 2>/dev/null | sed "s/\x1b\[[0-9;]*m//g" |
            awk -v build="$build" '$1 ~ /_min$/ { sub(/\/repeats:.*/, "", $1); print build, $1, $2, $3 }' >>"$results"
    done
done
# Fastest per build and benchmark, in milliseconds.
printf '%-24s %10s %10s %8s\n' benchmark before after ratio
awk -v before="$before" '{ t = $3; if ($4 == "us") t /= 1000; if ($4 == "ns") t /= 1e6
       key = $2 " " ($1 == before ? "b" : "a"); if (!(key in best) || t < best[key]) best[key] = t; names[$2] = 1 }
     END { for (name in names) printf "%-24s %10.2f %10.2f %8.3f\n", name, best[name " b"], best[name " a"],
                                       best[name " a"] / best[name " b"] }' "$results" | sort
