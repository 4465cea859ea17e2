#!/usr/bin/env bash
# A developer's tool, not part of the test command: plants faults in the product code one at a time
# (scripts/mutate.py picks them with a seed), rebuilds, runs the tests that cover the file and
# counts the faults that some test catches. A fault that does not compile is not counted.
#   bash scripts/mutate.sh [--seed N] [--host N] [--win32 N] [--from N] [--budget SECONDS]
# --host: faults in the portable core, against build/host; --win32: faults in the Win32 code,
# against the Wine tests of build/win64; --from skips the first N of each list (to extend an earlier
# run). The budget holds for each area. Needs built trees
# (scripts/build.sh). The sources are always restored.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VT_BUILD:-$root/build}
seed=1 host_count=120 win32_count=25 from=0 budget=3600
while [ $# -gt 0 ]; do
  case $1 in
  --seed) seed=$2 ;;
  --host) host_count=$2 ;;
  --win32) win32_count=$2 ;;
  --from) from=$2 ;;
  --budget) budget=$2 ;;
  *) echo "mutate: unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done
cd "$root"

host_files=(band/meters/meter.cpp band/meters/meter_tick.cpp band/settings/meter_choice.cpp
  band/shell/band_state.cpp band/window/bar_rules.cpp band/window/grid_layout.cpp setup/core/*.cpp
  runtime/mem_string.cpp)
win32_files=(band/meters/guarded_call.cpp band/meters/sources.cpp band/meters/update_meters.cpp
  band/settings/settings_dialog.cpp band/shell/*.cpp band/window/band_window.cpp
  band/window/draw_bar.cpp band/window/paint_meters.cpp setup/dialogs.cpp setup/files.cpp
  setup/messages.cpp setup/restart.cpp setup/runs.cpp setup/script.cpp)
win32_files=($(printf '%s\n' "${win32_files[@]}" | grep -vE 'band_state|/meter_band|/module|/dll_main'))

# The Wine test programs that exercise a file.
win32_tests() {
  case $1 in
  band/meters/*) echo win32_meter_sources_tests win32_band_window_tests ;;
  band/window/*) echo win32_band_window_tests ;;
  band/settings/*) echo win32_settings_dialog_tests ;;
  band/shell/about_box* | band/shell/link_label* | band/shell/context_menu*)
    echo win32_context_menu_tests win32_settings_dialog_tests ;;
  band/shell/*) echo win32_band_object_tests win32_context_menu_tests e2e_product_tests ;;
  setup/*) echo win32_setup_script_tests e2e_setup_ui_tests e2e_setup_run_tests ;;
  esac
}

backup=$(mktemp -d)
planted=""
restore() {
  [ -n "$planted" ] && cp "$backup/file" "$root/$planted"
  planted=""
}
trap 'restore; rm -rf "$backup"' EXIT
trap 'exit 130' INT TERM

log=$build/mutate.log
: >"$log"

# Runs one area: its name, the fault count, then the files.
run_area() {
  local area=$1 count=$2 started=$SECONDS caught=0 survived=0 broken=0 tried=0
  shift 2
  while IFS=$'\t' read -r file line index; do
    if [ $((SECONDS - started)) -ge "$budget" ]; then
      echo "$area: time budget spent after $tried faults"
      break
    fi
    tried=$((tried + 1))
    local change
    change=$(python3 scripts/mutate.py show "$file" "$line" "$index")
    cp "$file" "$backup/file"
    planted=$file
    python3 scripts/mutate.py plant "$file" "$line" "$index"
    local verdict
    if [ "$area" = host ]; then
      if ! ninja -C "$build/host" >>"$log" 2>&1; then
        verdict=broken
      elif timeout 300 ctest --test-dir "$build/host" --timeout 60 >>"$log" 2>&1; then
        verdict=survived
      else
        verdict=caught
      fi
    else
      local tests
      tests=$(win32_tests "$file")
      if ! ninja -C "$build/win64" $tests >>"$log" 2>&1; then
        verdict=broken
      elif ctest --test-dir "$build/win64" --timeout 300 -R "^($(echo $tests | tr ' ' '|'))\$" \
        >>"$log" 2>&1; then
        verdict=survived
      else
        verdict=caught
      fi
    fi
    restore
    case $verdict in
    caught) caught=$((caught + 1)) ;;
    broken) broken=$((broken + 1)) ;;
    survived)
      survived=$((survived + 1))
      printf 'SURVIVED %s:%s\n  before: %s\n  after:  %s\n' "$file" "$line" "${change%%$'\t'*}" \
        "${change#*$'\t'}"
      ;;
    esac
    echo "$area $tried $verdict $file:$line" >>"$log"
  done < <(python3 scripts/mutate.py list "$seed" "$count" "$@" | tail -n +$((from + 1)))
  local scored=$((caught + survived))
  echo "$area: $caught of $scored faults caught ($((scored ? 100 * caught / scored : 0)) %);" \
    "$broken did not compile; seed $seed, $((SECONDS - started)) s"
}

[ "$host_count" -gt 0 ] && run_area host "$host_count" "${host_files[@]}"
if [ "$win32_count" -gt 0 ]; then
  . "$root/scripts/wine-env.sh"
  trap 'restore; rm -rf "$backup"; vt_wine_session_stop' EXIT
  vt_wine_session_start "$build/win64/wineprefix"
  run_area win32 "$win32_count" "${win32_files[@]}"
fi
# Leave the trees built from the restored sources.
ninja -C "$build/host" >/dev/null
[ "$win32_count" -gt 0 ] && ninja -C "$build/win64" >/dev/null
exit 0
