#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# (leak checks included) and runs every test under them; any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
build=build-sanitize
bash scripts/deps.sh

# ASan and LSan reports go to files as well as failing their process: a report in a child process
# (korvane-cli, the kill child) cannot then be lost whatever exit code the parent test expected of
# it. UBSan ignores log_path and writes to standard error; abort_on_error still ends the process.
logs="$repo/$build/sanitizer-reports"
rm -rf "$logs"
mkdir -p "$logs"
# abort_on_error: a report ends the process with SIGABRT, which no test takes for an expected
# exit code (ASan's own exit code 1 is also korvane-cli's usage error).
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:log_path=$logs/asan"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$repo/tests/sanitizers/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen

# -O1 for a quicker instrumented build on CI's two cores; asserts stay off as in scripts/test.sh.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG" \
  -DKORVANE_WERROR=ON -DKORVANE_FAULT_INJECTION=ON -DKORVANE_SANITIZE=ON -DKORVANE_BUILD_BENCH=OFF
# The build runs each suite to list its tests, so the options above are already in force here.
cmake --build "$build"

status=0
ctest --test-dir "$build" --output-on-failure --timeout 900 -j2 || status=$?
# A report printed by a process whose end a test did not check still fails the run.
if grep -E "runtime error:|ERROR: (Address|Leak)Sanitizer" "$build/Testing/Temporary/LastTest.log"; then
  status=1
fi
if compgen -G "$logs/*" >/dev/null; then
  echo "sanitizer reports:" >&2
  for report in "$logs"/*; do
    echo "=== $report" >&2
    cat "$report" >&2
  done
  status=1
fi
exit "$status"
