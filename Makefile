# The two commands of the quick start: `make demo` and `make test`.
# Each does its own set-up (scripts/setup installs what is missing).

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
# Seconds per fuzz target: `make fuzz` for a long run, `make test` a short one.
FUZZ_SECONDS ?= 300
FUZZ_SHORT_SECONDS ?= 8
VALGRIND_CMD := valgrind --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect -q
CMAKE_FLAGS ?=
GENERATOR  := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")
CTEST      := ctest --output-on-failure -j $(shell nproc)
# What make demo and make install build: the programs, not the tests.
TOOLS      := keyphrases somtrain labelcalc labelweb labelsite somlabel
PREFIX     ?= /usr/local

.PHONY: all setup build build-tools install build-asan build-fuzzers test check test-asan test-valgrind demo bench fuzz fuzz-short screenshot clean

all: build

setup:
	@scripts/setup

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOMLABEL_WERROR=ON $(CMAKE_FLAGS)

$(ASAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(ASAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DSOMLABEL_WERROR=ON \
	  -DSOMLABEL_SANITIZE=ON -DSOMLABEL_BENCH=OFF $(CMAKE_FLAGS)

$(FUZZ_BUILD)/CMakeCache.txt:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DSOMLABEL_WERROR=ON -DSOMLABEL_FUZZ=ON -DSOMLABEL_TESTS=OFF -DSOMLABEL_BENCH=OFF $(CMAKE_FLAGS)

build: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD)

build-tools: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) --target $(TOOLS)

# The tools into PREFIX/bin, where somlabel finds the others beside itself.
install: build-tools
	cmake --install $(BUILD) --prefix $(PREFIX)

build-asan: setup $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD)

build-fuzzers: setup $(FUZZ_BUILD)/CMakeCache.txt
	cmake --build $(FUZZ_BUILD) --target fuzz_targets

# Every test, once in the plain build, once under AddressSanitizer and
# UndefinedBehaviorSanitizer and once under Valgrind, then every fuzz target
# for a few seconds: about 21 minutes from a fresh clone on two cores, builds
# included. `make check` is the plain build and suite alone.
test: check test-asan test-valgrind fuzz-short

check: build
	cd $(BUILD) && $(CTEST)

test-asan: build-asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 $(CTEST)

# The tests under Valgrind's memcheck: the unit-test and replay binaries run
# whole under valgrind, the end-to-end cases and shell suites start the tools
# through it (run_case.sh and the bad-input suites honour VALGRIND).
test-valgrind: build
	tests/run_valgrind.sh $(BUILD) "$(VALGRIND_CMD)"

# Each fuzz target for FUZZ_SECONDS; fails on any finding (fuzz/run.sh).
fuzz: build-fuzzers
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

fuzz-short: build-fuzzers
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SHORT_SECONDS)

# somlabel on this machine's C manual pages; prints the top page's path.
demo: build-tools
	demo/run.sh $(BUILD)

# Times the tools on generated corpora next to their floors (bench/README.md).
bench: build
	bench/run.sh $(BUILD)

# Pictures of the demo as headless Chromium shows it: the top map page,
# index.html and a search. They go to demo/output/screenshots/; with
# UPDATE_DOCS=1 they replace those of the README in docs/.
SCREENSHOTS = $(if $(UPDATE_DOCS),docs,demo/output/screenshots)
screenshot: demo
	demo/screenshot.py $(SCREENSHOTS) demo/output pthread

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) demo/output
