# Front door of the project: every target installs what is missing first.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
BUILD_TYPE ?= RelWithDebInfo

.PHONY: build run test test-sanitize fuzz setup bench framebench scenebench clean format docs package

build: setup
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
	cmake --build $(BUILD_DIR) -j $(JOBS)

setup:
	@bash tools/setup.sh

run: build
	cd $(BUILD_DIR) && ../tools/play.sh ./marrowvale $(ARGS)

# Tests that draw need a display; without one they get a virtual one. -noreset
# keeps Xvfb from dropping connections made while its last client leaves.
XVFB = $(if $(DISPLAY),,xvfb-run -a -s "-noreset -screen 0 1280x800x24")

test: build
	cd $(BUILD_DIR) && $(XVFB) ctest --output-on-failure -j $(JOBS)

bench: build
	cd $(BUILD_DIR) && ./bench/marrowvale_bench

# Frame times of the renderer against a bare GL draw of the same voxels.
framebench: build
	cd $(BUILD_DIR) && $(XVFB) ./bench/marrowvale_framebench

# Whole frames of a running engine: a small scene around a peak of objects, and the
# frame-time spread of the sample game and of a script that allocates heavily.
scenebench: build
	cd $(BUILD_DIR) && for mode in peak sample garbage; do \
	  $(XVFB) ./bench/marrowvale_scenebench $$mode || exit 1; done

# The script API reference and its TypeScript declarations, generated from the
# engine's binding tables.
docs: build
	$(BUILD_DIR)/marrowvale --api-reference > docs/scripting-api.md
	$(BUILD_DIR)/marrowvale --api-reference=typescript > docs/marrowvale.d.ts

# A game folder as one archive a player unpacks and runs:
# make package GAME=path/to/game writes dist/<name>-linux-x86_64.tar.gz.
# Only the engine is built for it: the tests and benchmarks are not shipped.
package: setup
	@test -n "$(GAME)" || { echo "usage: make package GAME=path/to/game"; exit 2; }
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
	cmake --build $(BUILD_DIR) -j $(JOBS) --target marrowvale
	bash tools/package.sh $(BUILD_DIR) "$(GAME)" dist

clean:
	rm -rf $(BUILD_DIR)

format:
	clang-format -i $$(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp')

# The whole suite once more, in a debug build with AddressSanitizer and
# UndefinedBehaviorSanitizer (leak checks on); tests run through
# tools/sanitize-run.sh. Anything they find fails the test that met it.
SANITIZE_DIR ?= build-sanitize

test-sanitize: setup
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DMARROWVALE_SANITIZE=ON -DMARROWVALE_BUILD_BENCH=OFF
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && $(XVFB) ctest --output-on-failure -j $(JOBS) --timeout 600

# Fuzzes the .vxm and .vox loaders and round trips, then the scene file loader, for
# FUZZ_SECONDS each. New inputs go to the build folder; the seeds in
# tests/voxels/fuzz-corpus and tests/scene/fuzz-corpus are only read.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
# Every input is written to a file and saved again: memory-backed files run
# about three times as many inputs a second.
FUZZ_TMP ?= $(if $(wildcard /dev/shm),/dev/shm,/tmp)

fuzz: setup
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARROWVALE_FUZZ=ON -DMARROWVALE_BUILD_BENCH=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target voxel_model_fuzzer scene_file_fuzzer
	mkdir -p $(FUZZ_DIR)/voxel-model-corpus $(FUZZ_DIR)/scene-file-corpus
	TMPDIR=$(FUZZ_TMP) $(FUZZ_DIR)/tests/voxel_model_fuzzer -max_total_time=$(FUZZ_SECONDS) -max_len=4096 \
		$(FUZZ_DIR)/voxel-model-corpus tests/voxels/fuzz-corpus
	$(FUZZ_DIR)/tests/scene_file_fuzzer -max_total_time=$(FUZZ_SECONDS) -max_len=4096 \
		-detect_leaks=0 $(FUZZ_DIR)/scene-file-corpus tests/scene/fuzz-corpus
