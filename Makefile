# SPDX-License-Identifier: GPL-3.0-or-later
# The two commands a new machine needs: `make run` and `make test`.
# QT=6 builds against Qt 6 instead of Qt 5, in folders of its own (build-qt6, ...).
QT ?= 5
export QT
QT_SUFFIX = $(if $(filter 5,$(QT)),,-qt$(QT))
BUILD_DIR ?= build$(QT_SUFFIX)
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test bench sanitize fuzz coverage format clean \
	package install-check screenshots soak soak-quick

SANITIZE_DIR ?= build-sanitize$(QT_SUFFIX)
SOAK_DIR ?= build-soak$(QT_SUFFIX)
ASAN_SOAK = allocator_release_to_os_interval_ms=-1:quarantine_size_mb=32
SOAK_SECONDS ?= 60
QUICK_SOAK_SECONDS ?= 15
FUZZ_DIR ?= build-fuzz$(QT_SUFFIX)
FUZZ_SECONDS ?= 60
COVERAGE_DIR ?= build-coverage$(QT_SUFFIX)
ASAN_CHECKS = detect_leaks=1:abort_on_error=0:strict_string_checks=1
SANITIZER_ENV = ASAN_OPTIONS=$(ASAN_CHECKS) \
	LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELVANE_QT=$(QT) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j$(JOBS) -- --no-print-directory

run: build
	@BUILD_DIR=$(BUILD_DIR) scripts/run.sh $(ARGS)

test: build
	@cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

bench: build
	@scripts/bench.sh $(BUILD_DIR)

# The whole project and its tests under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	@cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DTELVANE_SANITIZE=ON -DTELVANE_BENCH=OFF -DTELVANE_QT=$(QT) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(SANITIZE_DIR) -j$(JOBS) -- --no-print-directory
	@cd $(SANITIZE_DIR) && $(SANITIZER_ENV) QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

# Follow under load with AddressSanitizer and UndefinedBehaviorSanitizer: a writer appends,
# truncates and renames the log while a scripted user searches; run for the ordinary and the
# large-log view. Optimised as ASan is meant to be run, so that the stall limit measures the
# program rather than unoptimised instrumentation. ASan's own housekeeping runs inside whichever
# free() triggers it: handing freed pages back to the system, and recycling a tenth of its
# quarantine of freed blocks at once, each took 100-180 ms at the defaults. So it keeps its pages
# and holds 32 MB of freed blocks (use after free is still caught within those). Not part of CI.
soak: deps
	@cmake -S . -B $(SOAK_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELVANE_SANITIZE=ON -DTELVANE_BENCH=OFF -DTELVANE_QT=$(QT) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(SOAK_DIR) -j$(JOBS) --target telvane-soak -- --no-print-directory
	@mkdir -p $(SOAK_DIR)/soak-tmp
	@cd $(SOAK_DIR) && status=0; for view in ordinary large; do \
		$(SANITIZER_ENV) ASAN_OPTIONS=$(ASAN_CHECKS):$(ASAN_SOAK) \
		TMPDIR=$(CURDIR)/$(SOAK_DIR)/soak-tmp SOAK_SECONDS=$(SOAK_SECONDS) \
		SOAK_VIEW=$$view QT_QPA_PLATFORM=offscreen bin/telvane-soak || status=1; done; exit $$status

# A short run of the same soak in the ordinary build, for each view; CI runs it.
soak-quick: build
	@mkdir -p $(BUILD_DIR)/soak-tmp
	@cd $(BUILD_DIR) && status=0; for view in ordinary large; do \
		TMPDIR=$(CURDIR)/$(BUILD_DIR)/soak-tmp SOAK_SECONDS=$(QUICK_SOAK_SECONDS) \
		SOAK_VIEW=$$view QT_QPA_PLATFORM=offscreen bin/telvane-soak || status=1; done; exit $$status

# libFuzzer targets built with clang, each run for FUZZ_SECONDS.
fuzz:
	@scripts/install-deps.sh clang libclang-rt-14-dev
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELVANE_FUZZ=ON -DTELVANE_BENCH=OFF -DTELVANE_QT=$(QT) >/dev/null
	@cmake --build $(FUZZ_DIR) -j$(JOBS) --target fuzz_loglines fuzz_telegram fuzz_faults fuzz_searchtext
	@scripts/fuzz.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

# The Debian package, built with CPack into $(BUILD_DIR)/package/.
package: build
	@cd $(BUILD_DIR) && cpack -G DEB

# Installs into a fresh DESTDIR, lists it, runs the desktop, AppStream and lintian checks.
install-check:
	@BUILD_DIR=$(BUILD_DIR) scripts/check-install.sh

# The README's pictures in docs/, rendered under Xvfb from the sample logs.
screenshots: configure
	@scripts/screenshots.sh $(BUILD_DIR) $(JOBS)

# The suite on a gcov-instrumented build; lcov data and the genhtml report land in COVERAGE_DIR.
coverage:
	@scripts/install-deps.sh lcov
	@cmake -S . -B $(COVERAGE_DIR) -DCMAKE_BUILD_TYPE=Debug -DTELVANE_BENCH=OFF -DTELVANE_QT=$(QT) \
		-DCMAKE_CXX_FLAGS=--coverage -DCMAKE_EXE_LINKER_FLAGS=--coverage $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(COVERAGE_DIR) -j$(JOBS) -- --no-print-directory
	@JOBS=$(JOBS) scripts/coverage.sh $(COVERAGE_DIR)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD_DIR)
