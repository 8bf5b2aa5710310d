#!/usr/bin/env bash
# Runs a program of the sanitizer build (make test-sanitize) with the checks
# set as the suite needs them: any memory error, undefined behaviour or leak
# fails the program that has it.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=0:check_initialization_order=1:verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

# Mesa unloads its GL driver when the last context goes; leaks found in it at
# exit then have no symbols to suppress or read. Loaded from the start, the
# driver stays until the process ends. verify_asan_link_order=0 above lets it
# come before the sanitizer runtime.
for driver in /usr/lib/x86_64-linux-gnu/dri/swrast_dri.so /usr/lib/*/dri/swrast_dri.so \
    /usr/lib/dri/swrast_dri.so; do
  if [ -f "$driver" ]; then
    export LD_PRELOAD="$driver${LD_PRELOAD:+ $LD_PRELOAD}"
    break
  fi
done
exec "$@"
