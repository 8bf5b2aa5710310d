#!/usr/bin/env bash
# Starts the engine; without a display it runs under a virtual one.
set -euo pipefail
if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi
echo "run: no DISPLAY, running under Xvfb"
exec xvfb-run -a -s "-noreset -screen 0 1280x800x24" "$@"
