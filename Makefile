# SPDX-License-Identifier: MIT
# Thin front door over the CMake presets; see README.md.
# CI (CI=true) builds with warnings as errors.
PRESET ?= $(if $(CI),ci,default)
JOBS ?= $(shell nproc)

.PHONY: all deps run-deps build-only build run test test-asan build-windows test-windows package \
	package-windows check-package-windows check-package fuzz bench format format-check clean

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

# The tests that mount real filesystems run again with udevd running, as on
# every real machine, where labels come from udev's records; that round is
# skipped (77) where udevd cannot be started.
test: deps build-only
	ctest --preset $(PRESET) -j $(JOBS)
	tests/system_services.sh udev -- ctest --preset $(PRESET) -j $(JOBS) -L real_mounts \
		|| [ $$? -eq 77 ]

test-asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

# Cross-built for Windows with mingw-w64 against Qt built from Debian's source
# (once, about 40 minutes; kept in ~/.cache/kestrun). The tests run under
# Wine, whose server is stopped afterwards whatever the outcome.
build-windows:
	@scripts/install-deps.sh build qt windows
	qt=$$(scripts/build-qt-windows.sh | tail -n 1) && \
	cmake --preset windows -DKESTRUN_QT_PREFIX="$$qt" $(if $(CI),-DKESTRUN_WERROR=ON)
	cmake --build --preset windows -j $(JOBS)

test-windows: build-windows
	ctest --preset windows -j $(JOBS); status=$$?; \
	WINEPREFIX=$(CURDIR)/build/windows/wine wineserver -k 2>/dev/null; exit $$status

# The Windows installer and zip: build/windows/Kestrun-<version>-win64.{exe,zip}.
package-windows: build-windows
	cd build/windows && cpack

# Installs the Windows installer silently under Wine in a fresh prefix, runs
# the program, uninstalls it and checks what is left.
check-package-windows: package-windows
	scripts/check-package-windows.sh build/windows

# The Debian packages: build/<preset>/kestrun-cli_<version>_<arch>.deb (the
# command line, no display libraries) and kestrun_<version>_<arch>.deb (the window).
package: build
	@scripts/install-deps.sh packaging
	cd build/$(PRESET) && cpack

# Installs the packages as a user would, over the single package of 1.5.0, and
# checks the result, kestrun-cli alone too (as root or with sudo).
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
	@if [ -x build/$(PRESET)/bench/pane_bench ]; then build/$(PRESET)/bench/pane_bench; fi

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	@scripts/install-deps.sh build
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf build
