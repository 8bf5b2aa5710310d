#!/usr/bin/env bash
# Fails when a source file includes a header from a layer above its own. The
# layers, from the bottom: leaf helpers; the object model, script host and
# messages; the systems that draw, simulate, sound and read input; game logic;
# the developer tools; the core that owns every system. A lower layer that needs
# a higher one offers a hook instead (WindowSystem::SetOverlayDrawer, say).
# docs/architecture.md explains the layers.
set -euo pipefail
src="${1:-$(dirname "$0")/../src}"

declare -A layer=(
  [base]=0
  [objects]=1 [script]=1 [messaging]=1
  [window]=2 [graphics]=2 [physics]=2 [audio]=2 [voxels]=2 [picking]=2 [navigation]=2 [input]=2
  [logic]=3 [scene]=3
  [tools]=4 [inspector]=4 [debugger]=4
  [core]=5
)

# Ties the design makes on purpose, each with its reason.
allowed() {
  case "$2" in
    # The one Core reaches every system, and every system reaches it and its base class.
    core/Core.h | core/System.h | core/ListeningSystem.h) return 0 ;;
  esac
  case "$1:$2" in
    # The one list of component types names every subsystem's components.
    objects/ComponentTypes.h:*) return 0 ;;
    # Every value conversion lives in one place, the voxel record's too.
    script/ScriptValue.cpp:voxels/VoxelInstance.h) return 0 ;;
  esac
  return 1
}

faults=0
while IFS= read -r file; do
  relative=${file#"$src"/}
  own=${relative%%/*}
  [ -n "${layer[$own]+set}" ] || continue
  while IFS=: read -r line text; do
    included=${text#*\"}
    included=${included%%\"*}
    target=${included%%/*}
    [ -n "${layer[$target]+set}" ] || continue
    if [ "${layer[$target]}" -gt "${layer[$own]}" ] && ! allowed "$relative" "$included"; then
      echo "src/$relative:$line: includes $included, a layer above $own/"
      faults=$((faults + 1))
    fi
  done < <(grep -n '^#include "' "$file" || true)
done < <(find "$src" -name '*.cpp' -o -name '*.h' | sort)

if [ "$faults" -gt 0 ]; then
  echo "check-layers: $faults include(s) run upward; offer a hook in the lower layer instead" >&2
  exit 1
fi
echo "check-layers: every include stays in its layer or below"
