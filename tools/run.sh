#!/usr/bin/env bash
# Starts the engine; without a display it runs under a virtual one.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/sound_output.sh"
if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi
echo "run: no DISPLAY, running under Xvfb"
exec xvfb-run -a -s "-noreset -screen 0 1280x800x24" "$@"
