# Thin front door over the CMake presets; see README.md.
# CI (CI=true) builds with warnings as errors.
PRESET ?= $(if $(CI),ci,default)
JOBS ?= $(shell nproc)

.PHONY: all deps run-deps build-only build run test test-asan test-windows package \
	check-package fuzz bench format format-check clean

all: build

# What building and running needs; the tests need more (every list but windows).
run-deps:
	@scripts/install-deps.sh build qt linux

deps:
	@scripts/install-deps.sh

build-only:
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j $(JOBS)

build: run-deps build-only

run: build
	build/$(PRESET)/app/kestrun

test: deps build-only
	ctest --preset $(PRESET) -j $(JOBS)

test-asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

# Cross-built for Windows with mingw-w64; the tests run under Wine, whose
# server is stopped afterwards whatever the outcome.
test-windows:
	@scripts/install-deps.sh build windows
	cmake --preset windows $(if $(CI),-DKESTRUN_WERROR=ON)
	cmake --build --preset windows -j $(JOBS)
	ctest --preset windows -j $(JOBS); status=$$?; \
	WINEPREFIX=$(CURDIR)/build/windows/wine wineserver -k 2>/dev/null; exit $$status

# The Debian package: build/<preset>/kestrun_<version>_<arch>.deb.
package: build
	@scripts/install-deps.sh packaging
	cd build/$(PRESET) && cpack

# Installs the package as a user would and checks the result (as root or with sudo).
check-package: package
	scripts/check-package.sh $(PRESET)

# Each libFuzzer target for FUZZ_SECONDS (60 by default) from its seed corpus.
FUZZ_SECONDS ?= 60
fuzz: deps
	tests/fuzz/run.sh $(FUZZ_SECONDS)

bench: build
	build/$(PRESET)/bench/engine_bench
	@if [ -x build/$(PRESET)/bench/linux_drives_bench ]; then build/$(PRESET)/bench/linux_drives_bench; fi
	@if [ -x build/$(PRESET)/bench/idle_pass_bench ]; then build/$(PRESET)/bench/idle_pass_bench; fi

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	@scripts/install-deps.sh build
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf build
