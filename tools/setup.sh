#!/usr/bin/env bash
# Installs what the engine needs to build, run and test on Debian 12, then
# places the console font. Safe to run again: it only touches what is missing.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

packages=(
  cmake make g++ pkg-config
  libmozjs-102-dev
  libsfml-dev libopenal-dev
  libglew-dev libglu1-mesa-dev libgl1-mesa-dri
  libbullet-dev
  libimgui-dev libstb-dev
  libglm-dev
  nlohmann-json3-dev  # package.json reading in the module resolver
  libassimp-dev  # voxel models exported as meshes (.glb, .obj, .ply)
  libsdl2-dev  # gamepads, through its game-controller layer only
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # Benchmarks only: the path search is measured against its A*. Without it
  # the benchmark binary builds and leaves that comparison out.
  libboost-graph-dev
  xvfb xauth xdotool x11-utils imagemagick
  clang-14 libclang-rt-14-dev
  fonts-liberation2
  node-typescript
  dpkg-dev file  # cpack -G DEB: dpkg-shlibdeps finds the package's dependencies
)
# The sample game's npm packages are installed with npm. Debian's package is
# only wanted where no npm is on PATH: one from elsewhere (nodesource, nvm)
# would conflict with it.
if ! command -v npm >/dev/null 2>&1; then
  packages+=(npm)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
      SUDO=sudo
    else
      echo "setup: these Debian packages are missing; as root run:" >&2
      echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
      exit 1
    fi
  else
    SUDO=
  fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

font_src=/usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf
font_dst="$here/resource/Fonts/courierNew.ttf"
if [ ! -f "$font_dst" ] && [ -f "$font_src" ]; then
  mkdir -p "$(dirname "$font_dst")"
  cp "$font_src" "$font_dst"
fi

# The sample game's npm packages, exactly as its lock file pins them. Again
# whenever the lock file is newer than the install: npm ci starts from an
# empty node_modules, and the touch marks the install as newer than the lock
# even when npm left the folder's own time alone.
scripts="$here/resource/Scripts"
if [ ! -d "$scripts/node_modules" ] || [ "$scripts/package-lock.json" -nt "$scripts/node_modules" ]; then
  echo "setup: installing the sample game's npm packages (npm ci in resource/Scripts)"
  (cd "$scripts" && npm ci --no-audit --no-fund)
  touch "$scripts/node_modules"
fi

# The npm packages the engine is tested against (tests/npm); same rules as above.
matrix="$here/tests/npm"
if [ ! -d "$matrix/node_modules" ] || [ "$matrix/package-lock.json" -nt "$matrix/node_modules" ]; then
  echo "setup: installing the npm packages the engine is tested against (npm ci in tests/npm)"
  (cd "$matrix" && npm ci --no-audit --no-fund)
  touch "$matrix/node_modules"
fi

# The glTF validator the mesh export tests check .glb files with; same rules as above.
validate="$here/tools/gltf-validate"
if [ ! -d "$validate/node_modules" ] || [ "$validate/package-lock.json" -nt "$validate/node_modules" ]; then
  echo "setup: installing the glTF validator (npm ci in tools/gltf-validate)"
  (cd "$validate" && npm ci --no-audit --no-fund)
  touch "$validate/node_modules"
fi

# The TypeScript type stripper the engine compiles in (CMake reads it from
# here); same rules as above.
eraser="$here/tools/typescript-eraser"
if [ ! -d "$eraser/node_modules" ] || [ "$eraser/package-lock.json" -nt "$eraser/node_modules" ]; then
  echo "setup: installing the TypeScript type stripper (npm ci in tools/typescript-eraser)"
  (cd "$eraser" && npm ci --no-audit --no-fund)
  touch "$eraser/node_modules"
fi
