#!/usr/bin/env bash
# Starts the game in the engine. Where there is no display (a server, CI, a
# container) it plays a few seconds under a virtual one and keeps a screenshot.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/sound_output.sh"
engine="$1"
shift
if [ -n "${DISPLAY:-}" ]; then
  exec "$engine" "$@"
fi
frames=${FRAMES:-300}
echo "play: no DISPLAY; playing $frames frames under Xvfb instead"
rm -f screenshot.jpg
"$here/run.sh" "$engine" --frames "$frames" --screenshot "$@"
if [ -f screenshot.jpg ]; then
  echo "play: the last frame is in $(pwd)/screenshot.jpg"
else
  echo "play: no screenshot was saved" >&2
  exit 1
fi
