#!/usr/bin/env bash
# tools/package.sh BUILD_DIR GAME_DIR [DIST_DIR]
#
# Writes DIST_DIR/<name>-linux-x86_64.tar.gz (DIST_DIR defaults to ./dist): one
# folder holding a launcher named after the game, the engine from BUILD_DIR
# with what it reads at run time, the game's folder without its developer-only
# files, and lib/ with the shared libraries a player's system does not have.
# The engine finds lib/ through its $ORIGIN-relative RPATH.
set -euo pipefail
build=${1:?usage: package.sh BUILD_DIR GAME_DIR [DIST_DIR]}
game=${2:?usage: package.sh BUILD_DIR GAME_DIR [DIST_DIR]}
dist=${3:-dist}
here=$(cd "$(dirname "$0")" && pwd)
game=$(cd "$game" && pwd)

# The name from the game's package.json, or its folder's.
name=$(node -e 'try { process.stdout.write(String(require(process.argv[1]).name || "")) } catch (e) {}' \
  "$game/Scripts/package.json" 2>/dev/null || true)
[ -n "$name" ] || name=$(basename "$game")
name=$(printf '%s' "$name" | tr 'A-Z' 'a-z' | tr -c 'a-z0-9._-' '-' | sed 's/^[-._]*//')
[ -n "$name" ] || name=game
folder="$name-linux-x86_64"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
root="$stage/$folder"
cmake --install "$build" --prefix "$root" --component runtime --strip
cmake -DEXECUTABLE="$root/bin/marrowvale" -DDESTINATION="$root/lib" -P "$here/bundle-libs.cmake"

# The game, without what only its developer reads: editor files, its README,
# version control, the engine's cache of erased TypeScript (a player's is made
# in their save folder), and whatever the game's .packageignore names (tar
# patterns, one a line; # starts a comment).
excludes="$stage/excludes"
printf '%s\n' ./screenshot.jpg '*.d.ts' jsconfig.json tsconfig.json ./README.md ./.packageignore .vscode ./.cache >"$excludes"
if [ -f "$game/.packageignore" ]; then
  grep -v -e '^[[:space:]]*#' -e '^[[:space:]]*$' "$game/.packageignore" >>"$excludes" || true
fi
mkdir -p "$root/game"
(cd "$game" && tar cf - --exclude-vcs --exclude-from="$excludes" .) | (cd "$root/game" && tar xf -)

# Only the packages the game runs on: npm drops the devDependencies (type
# declarations, test tools) from each copied node_modules, from what is
# installed, without the network.
find "$root/game" -name node_modules -prune -o -name package.json -print | while read -r manifest; do
  folder=$(dirname "$manifest")
  [ -d "$folder/node_modules" ] || continue
  (cd "$folder" && npm prune --omit=dev --offline --no-audit --no-fund --loglevel=error >/dev/null)
  find "$folder/node_modules" -mindepth 1 -type d -empty -delete
done

sed "s/@NAME@/$name/g" "$here/launcher.sh.in" > "$root/$name"
chmod +x "$root/$name"

mkdir -p "$dist"
dist=$(cd "$dist" && pwd)
(cd "$stage" && cmake -E tar czf "$dist/$folder.tar.gz" "$folder")
echo "package: $dist/$folder.tar.gz ($(du -h "$dist/$folder.tar.gz" | cut -f1))"
