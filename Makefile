# Thin wrapper over the CMake presets. The two everyday commands:
#   make run    install what is missing, build, start the tool
#   make test   install what is missing, build, run every test
# Installing:
#   make install PREFIX=~/.local    release build, stripped, installed (no root needed for a prefix you own)
#   make package                    release build and Debian package build/release/*.deb
PRESET ?= dev
BUILD  := build/$(PRESET)
JOBS   ?= $(shell nproc)
PREFIX ?= /usr/local
PACKAGE_PRESET ?= release

.PHONY: all deps configure build build-tool run demo test asan release install package bench fuzz format clean

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD)/build.ninja: CMakeLists.txt CMakePresets.json
	cmake --preset $(PRESET)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build --preset $(PRESET) -j $(JOBS)

# Only what the tool needs: no tests, no benchmarks.
build-tool: configure
	cmake --build --preset $(PRESET) -j $(JOBS) --target pellix-kit

run: build-tool
	@./scripts/run.sh $(BUILD)/bin/pellix-kit

# The tool against four emulated hoppers, one per window (see README).
demo: configure
	cmake --build --preset $(PRESET) -j $(JOBS) --target pellix-kit pellix-hopper-emulator
	@./scripts/demo.sh $(BUILD)

test: build
	ctest --preset $(PRESET) -j $(JOBS)

asan:
	$(MAKE) test PRESET=asan

release:
	$(MAKE) build PRESET=release

# The release build, stripped: what a technician's machine runs.
install:
	$(MAKE) build PRESET=release
	cmake --install build/release --prefix $(PREFIX) --strip

package:
	$(MAKE) build PRESET=$(PACKAGE_PRESET)
	cd build/$(PACKAGE_PRESET) && cpack

bench:
	$(MAKE) build PRESET=release
	@# Only the benchmark programs: not the floor they start themselves, not build folders.
	@for b in build/release/bench/bench_*; do [ -f "$$b" ] && [ -x "$$b" ] && nice -n 10 "$$b"; done; true

# Every fuzz target for FUZZ_SECONDS (default 60) each from its seeds in fuzz/corpus; fails on
# any finding. Generated inputs and findings stay under build/fuzz.
fuzz:
	@./scripts/install-deps.sh fuzz
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	./scripts/fuzz.sh

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
