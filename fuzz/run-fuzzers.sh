#!/usr/bin/env bash
# Runs every fuzz target of build/fuzz (preset fuzz) for a bounded time on its seed
# corpus (fuzz/corpus/<target>/, when it has one), after its kept crash inputs
# (fuzz/regressions/<target>/) one by one.
#   fuzz/run-fuzzers.sh [SECONDS [TARGET...]]      (default: 15 seconds, every target)
# Runs as many targets at once as there are processors. New corpus entries and crash
# inputs go to a scratch folder, never into fuzz/corpus; a failing target's input is
# kept under /tmp and named in the output. Exits non-zero when any target crashes,
# hangs (an input that takes longer than 10 s), leaks, or uses more than 2 GiB.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin="$top/build/fuzz/bin"
seconds=${1:-15}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for exe in "$bin"/*_fuzz; do [ -x "$exe" ] && targets+=("$(basename "$exe" _fuzz)"); done
fi
if [ ${#targets[@]} -eq 0 ]; then echo "run-fuzzers: no fuzz targets in $bin (build the fuzz preset)"; exit 1; fi
jobs=$(nproc 2>/dev/null || echo 2)
work=$(mktemp -d /tmp/tessor-fuzz.XXXXXX)

run_one() {
  local name=$1 exe="$bin/${1}_fuzz" dir="$work/$1"
  mkdir -p "$dir/new" "$dir/artifacts"
  if [ ! -x "$exe" ]; then echo "fuzz $name: no program $exe" >"$dir/summary"; return 1; fi
  local flags=(-timeout=10 -rss_limit_mb=2048 -artifact_prefix="$dir/artifacts/" -print_final_stats=1)
  local kept=()
  [ -d "$top/fuzz/regressions/$name" ] && mapfile -t kept < <(find "$top/fuzz/regressions/$name" -type f | sort)
  if [ ${#kept[@]} -gt 0 ] && ! "$exe" "${flags[@]}" "${kept[@]}" >"$dir/regressions.log" 2>&1; then
    echo "fuzz $name: FAILED on a kept crash input (log: $dir/regressions.log)" >"$dir/summary"
    return 1
  fi
  local seeds=()
  [ -d "$top/fuzz/corpus/$name" ] && seeds=("$top/fuzz/corpus/$name")
  "$exe" "${flags[@]}" -max_total_time="$seconds" "$dir/new" "${seeds[@]}" >"$dir/log" 2>&1
  local rc=$?
  local runs speed cov ft
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -n 1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$dir/log" | tail -n 1)
  cov=$(grep -o 'cov: [0-9]*' "$dir/log" | tail -n 1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$dir/log" | tail -n 1 | cut -d' ' -f2)
  if [ $rc -ne 0 ]; then
    {
      echo "fuzz $name: FAILED (exit $rc); input kept in $dir/artifacts (keep it under fuzz/regressions/$name/), log $dir/log:"
      grep -E -A30 '^==[0-9]+==ERROR|runtime error|invariant broken|ALARM|out-of-memory|leak' "$dir/log" | head -n 40
    } >"$dir/summary"
    return 1
  fi
  echo "fuzz $name: ${runs:-?} runs, ${speed:-?} exec/s, cov ${cov:-?}, ft ${ft:-?}, ${kept[*]:+${#kept[@]} kept inputs, }${seconds} s" >"$dir/summary"
}

status=0
pids=()
names=()
for name in "${targets[@]}"; do
  run_one "$name" &
  pids+=($!)
  names+=("$name")
  if [ ${#pids[@]} -ge "$jobs" ]; then
    wait "${pids[0]}" || status=1
    cat "$work/${names[0]}/summary"
    pids=("${pids[@]:1}")
    names=("${names[@]:1}")
  fi
done
for i in "${!pids[@]}"; do
  wait "${pids[$i]}" || status=1
  cat "$work/${names[$i]}/summary"
done
# Keep the scratch folder only when something failed: it holds the crash inputs.
if [ $status -eq 0 ]; then rm -rf "$work"; fi
exit $status
