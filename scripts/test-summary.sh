#!/usr/bin/env bash
# Adds up the test cases that the GoogleTest programs recorded: RESULTS/host, RESULTS/win64 and
# RESULTS/i686.
set -u
results=$1
total_passed=0
total_failed=0
for side in host win64 i686; do
  tests=0
  failed=0
  for xml in "$results/$side"/*.xml; do
    [ -f "$xml" ] || continue
    line=$(grep -m1 '<testsuites ' "$xml")
    t=$(sed -n 's/.* tests="\([0-9]*\)".*/\1/p' <<<"$line")
    f=$(sed -n 's/.* failures="\([0-9]*\)".*/\1/p' <<<"$line")
    e=$(sed -n 's/.* errors="\([0-9]*\)".*/\1/p' <<<"$line")
    tests=$((tests + ${t:-0}))
    failed=$((failed + ${f:-0} + ${e:-0}))
  done
  label=$side
  [ "$side" = win64 ] && label="wine"
  echo "test cases ($label): $((tests - failed)) passed, $failed failed"
  total_passed=$((total_passed + tests - failed))
  total_failed=$((total_failed + failed))
done
echo "$total_passed passed, $total_failed failed"
[ "$total_failed" = 0 ]
