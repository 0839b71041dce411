# Thin front door over the CMake presets; see README.md.
# CI (CI=true) builds with warnings as errors.
PRESET ?= $(if $(CI),ci,default)
JOBS ?= $(shell nproc)

.PHONY: all deps build run test test-asan test-windows bench format clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j $(JOBS)

run: build
	@if [ -x build/$(PRESET)/app/kestrun ]; then build/$(PRESET)/app/kestrun; \
	else echo "No window program built yet; the engine's tests: make test"; fi

test: build
	ctest --preset $(PRESET) -j $(JOBS)

test-asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

# Cross-built for Windows with mingw-w64; the tests run under Wine, whose
# server is stopped afterwards whatever the outcome.
test-windows: deps
	cmake --preset windows $(if $(CI),-DKESTRUN_WERROR=ON)
	cmake --build --preset windows -j $(JOBS)
	ctest --preset windows -j $(JOBS); status=$$?; \
	WINEPREFIX=$(CURDIR)/build/windows/wine wineserver -k 2>/dev/null; exit $$status

bench: build
	build/$(PRESET)/bench/engine_bench

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
