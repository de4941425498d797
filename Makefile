# Entry points. Every target installs what it needs first (scripts/install-deps.sh is idempotent).
JOBS      ?= 2
BUILD     ?= build
RELEASE   := $(BUILD)/release
ASAN      := $(BUILD)/asan
BENCHDIR  := $(BUILD)/bench
FUZZDIR   := $(BUILD)/fuzz
HOME_DIR  ?= $(CURDIR)/$(BUILD)/home
CMAKE_GEN := -G Ninja

.PHONY: deps build run test bench fuzz clean format

deps:
	@bash scripts/install-deps.sh

$(RELEASE)/build.ninja:
	cmake -S . -B $(RELEASE) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMAR_TESTS=OFF

build: deps $(RELEASE)/build.ninja
	cmake --build $(RELEASE) -j$(JOBS)

# Starts the program; on first start the base directory is seeded and the demo archive generated there.
run: build
	VELMAR_HOME=$(HOME_DIR) $(RELEASE)/src/app/velmar

$(ASAN)/build.ninja:
	cmake -S . -B $(ASAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DVELMAR_SANITIZE=ON -DVELMAR_TESTS=ON

test: deps $(ASAN)/build.ninja
	cmake --build $(ASAN) -j$(JOBS)
	cd $(ASAN) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j$(JOBS)

$(BENCHDIR)/build.ninja:
	cmake -S . -B $(BENCHDIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DVELMAR_TESTS=OFF -DVELMAR_BENCH=ON -DVELMAR_GUI=ON

bench: deps $(BENCHDIR)/build.ninja
	cmake --build $(BENCHDIR) -j$(JOBS)
	@for b in $(BENCHDIR)/bench/bench_*; do echo "== $$b"; QT_QPA_PLATFORM=offscreen $$b --benchmark_counters_tabular=true || exit 1; done

$(FUZZDIR)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZDIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVELMAR_TESTS=OFF -DVELMAR_GUI=OFF -DVELMAR_FUZZ=ON

fuzz: deps $(FUZZDIR)/build.ninja
	cmake --build $(FUZZDIR) -j$(JOBS)
	@echo "fuzz targets are in $(FUZZDIR)/fuzz; run one as: $(FUZZDIR)/fuzz/fuzz_ini -max_total_time=60"

format:
	clang-format -i $$(git ls-files '*.cpp' '*.hpp')

clean:
	rm -rf $(BUILD)
