# Thin wrapper over the CMake presets. The two everyday commands:
#   make run    install what is missing, build, start the tool
#   make test   install what is missing, build, run every test
PRESET ?= dev
BUILD  := build/$(PRESET)
JOBS   ?= $(shell nproc)

.PHONY: all deps configure build run test asan release bench format clean

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD)/build.ninja: CMakeLists.txt CMakePresets.json
	cmake --preset $(PRESET)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build --preset $(PRESET) -j $(JOBS)

run: build
	@./scripts/run.sh $(BUILD)/bin/pellix-kit

test: build
	ctest --preset $(PRESET) -j $(JOBS)

asan:
	$(MAKE) test PRESET=asan

release:
	$(MAKE) build PRESET=release

bench:
	$(MAKE) build PRESET=release
	@# Only the benchmark programs: not the floor they start themselves, not build folders.
	@for b in build/release/bench/bench_*; do [ -f "$$b" ] && [ -x "$$b" ] && nice -n 10 "$$b"; done; true

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
