# Thin wrapper over the CMake presets. The two everyday commands:
#   make run    install what is missing, build, start the tool
#   make test   install what is missing, build, run every test
PRESET ?= dev
BUILD  := build/$(PRESET)
JOBS   ?= $(shell nproc)

.PHONY: all deps configure build run test asan release bench fuzz format clean

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
	@for b in build/release/bench/*; do [ -x "$$b" ] && "$$b"; done; true

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
