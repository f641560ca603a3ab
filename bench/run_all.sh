#!/bin/sh
# Every benchmark runs as the README says, from any folder and with no
# library path of its own, briefly, and none reports an error; a killed
# bench_remote leaves no server behind.
set -u
dir=$1
cd /
failed=0
for bench in "$dir"/bench_*; do
  [ -x "$bench" ] || continue
  out=$(env -u LD_LIBRARY_PATH "$bench" --benchmark_min_time=0.001 2>&1)
  status=$?
  if [ "$status" -ne 0 ] || printf '%s\n' "$out" | grep -q "ERROR OCCURRED"; then
    echo "$bench: exit status $status"
    printf '%s\n' "$out" | tail -n 8
    failed=1
  fi
done

env -u LD_LIBRARY_PATH "$dir/bench_remote" --benchmark_filter=BM_IdnRoundTrip \
  --benchmark_min_time=60 >/dev/null 2>&1 &
parent=$!
server=""
for _ in $(seq 200); do
  server=$(pgrep -P "$parent" -f -- --serve)
  [ -n "$server" ] && break
  sleep 0.1
done
if [ -z "$server" ]; then
  echo "bench_remote started no server"
  failed=1
fi
kill -9 "$parent"
wait "$parent" 2>/dev/null
for _ in $(seq 100); do
  [ -n "$server" ] && kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
if [ -n "$server" ] && kill -0 "$server" 2>/dev/null; then
  echo "the server of a killed bench_remote is still running"
  kill "$server"
  failed=1
fi
exit "$failed"
