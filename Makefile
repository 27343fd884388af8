# The two everyday commands. Each installs what is missing first.
#   make test   set-up, configure, build, run every test (then the fuzz
#               targets briefly and, once it exists, the Windows leg)
#   make run    set-up, build, run the demo scenario
JOBS ?= $(shell nproc)

.PHONY: all setup configure build test run fuzz fuzz-long asan bench clean

all: build

setup:
	@bash scripts/setup.sh

configure: setup
	@cmake --preset default >/dev/null

build: configure
	@cmake --build --preset default -j $(JOBS)

# The native suite runs last so that its summary closes the output.
test: build
	@$(MAKE) --no-print-directory fuzz
	@if [ -f scripts/windows-leg.sh ]; then bash scripts/windows-leg.sh; fi
	@ctest --preset default -j $(JOBS)

# libFuzzer targets (clang), each run for a short, bounded time.
fuzz: setup
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS) --target nuv_fuzzers
	@ctest --preset fuzz -j $(JOBS) --no-tests=ignore

# Every fuzz target for FUZZ_SECONDS each (FUZZ_JOBS at a time), from the
# checked-in seeds and the corpus kept in build-fuzz/fuzz-corpus-long.
# FUZZ_RUNS and FUZZ_TARGETS reach scripts/fuzz-long.sh as well.
FUZZ_SECONDS ?= 600
FUZZ_JOBS ?= 1
fuzz-long: setup
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS) --target nuv_fuzzers
	@FUZZ_SECONDS=$(FUZZ_SECONDS) FUZZ_JOBS=$(FUZZ_JOBS) bash scripts/fuzz-long.sh build-fuzz

# AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer.
asan: setup
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan -j $(JOBS)

bench: setup
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)
	@bash scripts/run-benchmarks.sh build-release

run: build
	@bash scripts/run-demo.sh build

clean:
	@rm -rf build build-release build-asan build-fuzz build-mingw build-mingw32
