#!/usr/bin/env bash
# The test job: install what is missing, then for each preset configure,
# build and run ctest (--output-on-failure, a failed test run once more;
# -j4 natively and -j3 under Wine on two cores, since most of the long tests
# wait on a unit's time-outs rather than compute). The mingw preset's tests
# run under Wine inside Xvfb, after a warm-up that creates the Wine prefix.
# Every preset is tried; a summary follows; the exit code is non-zero when
# any configure, build or test failed.
# Usage: scripts/test.sh [PRESET...]   (default: default asan tsan clang-release mingw)
set -uo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT" || exit 1
# shellcheck source=scripts/lib/common.sh
source scripts/lib/common.sh

ALL_PRESETS=(default asan tsan clang-release mingw)
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=("${ALL_PRESETS[@]}")
packages=("${BEXO_NATIVE_PACKAGES[@]}")
for p in "${presets[@]}"; do
  case " ${ALL_PRESETS[*]} " in *" $p "*) ;; *) bexo_die "unknown preset '$p' (known: ${ALL_PRESETS[*]})" ;; esac
  [ "$p" = mingw ] && packages+=("${BEXO_WINDOWS_PACKAGES[@]}")
  [ "$p" = clang-release ] && packages+=("${BEXO_CLANG_PACKAGES[@]}")
done

bexo_say "Checking packages"
bexo_ensure_packages "${packages[@]}"
packages_time=$SECONDS

XVFB=(xvfb-run -a -s '-screen 0 1280x1024x24')
summary=()
failed_tests=()
retried_tests=()
total_passed=0
total_failed=0
any_failure=0
start_all=$SECONDS

for p in "${presets[@]}"; do
  t0=$SECONDS
  status=ok
  counts="-"
  bexo_say "[$p] configure"
  if ! cmake --preset "$p"; then
    status="configure FAILED"
  else
    bexo_say "[$p] build"
    if ! cmake --build --preset "$p"; then
      status="build FAILED"
    else
      log=build/$p/ctest.log
      if [ "$p" = mingw ]; then
        bexo_say "[$p] test (Wine in Xvfb)"
        # Warm-up first (Wine prefix creation, ~15 s), then the tests, then
        # wait for the prefix's Wine processes so nothing outlives Xvfb.
        # shellcheck disable=SC2016 # expanded by the inner bash
        "${XVFB[@]}" bash -c '
          w0=$SECONDS
          cmake/wine/wine-run.sh --init build/mingw || exit 125
          echo "Wine warm-up: $((SECONDS - w0)) s"
          ctest --preset mingw --output-on-failure -j 3 --repeat until-pass:2
          rc=$?
          cmake/wine/wine-run.sh --stop build/mingw
          exit $rc' 2>&1 | tee "$log"
        rc=${PIPESTATUS[0]}
      else
        bexo_say "[$p] test"
        ctest --preset "$p" --output-on-failure -j 4 --repeat until-pass:2 2>&1 | tee "$log"
        rc=${PIPESTATUS[0]}
      fi
      line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
      if [[ $line =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
        nfail=${BASH_REMATCH[1]}
        npass=$((BASH_REMATCH[2] - nfail))
        counts="$npass passed, $nfail failed"
        total_passed=$((total_passed + npass))
        total_failed=$((total_failed + nfail))
      fi
      [ "$rc" -eq 0 ] || status="tests FAILED (ctest exit $rc)"
      # A test that failed once and passed when run again is named too: a
      # retry keeps a rare scheduling accident from failing the run, not
      # from being seen.
      while IFS= read -r name; do retried_tests+=("[$p] $name"); done < <(
        grep -E 'Test +#[0-9]+: .*\*\*\*(Failed|Timeout|Exception)' "$log" | sed -E 's/^.*Test +#[0-9]+: ([^ ]+).*$/\1/' | sort -u)
      # The names again at the end, where a reader of the tail of the log looks.
      while IFS= read -r name; do failed_tests+=("[$p] $name"); done < <(
        sed -n '/The following tests FAILED:/,/^$/p' "$log" | grep -E '^[[:space:]]+[0-9]+ - ' | sed 's/^[[:space:]]*//')
    fi
  fi
  [ "$status" = ok ] || any_failure=1
  summary+=("$(printf '%-8s %-30s %-24s %4d s' "$p" "$status" "$counts" $((SECONDS - t0)))")
done

printf '\n==================== summary ====================\n'
printf '%-8s %-30s %-24s %6s\n' preset result tests time
printf '%s\n' "${summary[@]}"
printf 'total time: %d s (and %d s for packages before it)\n' $((SECONDS - start_all)) "$packages_time"
[ ${#retried_tests[@]} -eq 0 ] || printf 'failed at least once: %s\n' "${retried_tests[@]}"
[ ${#failed_tests[@]} -eq 0 ] || printf 'failed: %s\n' "${failed_tests[@]}"
if [ $any_failure -ne 0 ]; then
  echo "RESULT: FAILED"
else
  echo "RESULT: all presets passed"
fi
echo "tests: $total_passed passed, $total_failed failed"
exit $any_failure
