# Front door of the project: every target installs what is missing first.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
BUILD_TYPE ?= RelWithDebInfo

.PHONY: build run test setup bench framebench clean format docs

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

# The script API reference, generated from the engine's binding tables.
docs: build
	$(BUILD_DIR)/marrowvale --api-reference > docs/scripting-api.md

clean:
	rm -rf $(BUILD_DIR)

format:
	clang-format -i $$(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp')
