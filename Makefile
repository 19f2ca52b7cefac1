# The two commands of the quick start: `make demo` and `make test`.
# Each does its own set-up (scripts/setup installs what is missing).

BUILD      ?= build
ASAN_BUILD ?= build-asan
CMAKE_FLAGS ?=
GENERATOR  := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")
CTEST      := ctest --output-on-failure -j $(shell nproc)

.PHONY: all setup build build-asan test test-fast test-asan demo bench fuzz fuzz-short screenshot clean

all: build

setup:
	@scripts/setup

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOMLABEL_WERROR=ON $(CMAKE_FLAGS)

$(ASAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(ASAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DSOMLABEL_WERROR=ON \
	  -DSOMLABEL_SANITIZE=ON -DSOMLABEL_BENCH=OFF $(CMAKE_FLAGS)

build: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD)

build-asan: setup $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD)

# Every test, once in the plain build and once under AddressSanitizer and
# UndefinedBehaviorSanitizer.
test: test-fast test-asan

test-fast: build
	cd $(BUILD) && $(CTEST)

test-asan: build-asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 $(CTEST)

demo: build
	demo/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) demo/output
