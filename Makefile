# ピコ日記: `make run` to play, `make test` to check everything.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test fuzz install uninstall clean

all: build

deps:
	@./tools/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@./tools/run-piko.sh $(BUILD)/bin/piko

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy ctest --output-on-failure -j $(JOBS)

# libFuzzer with ASan and UBSan (clang only), each target for FUZZ_SECONDS; new
# inputs collect in build-fuzz/corpus/, the kept ones live in fuzz/corpus/.
FUZZ_SECONDS ?= 600
FUZZ_TARGETS ?= wave ini
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPIKO_FUZZ=ON
	cmake --build build-fuzz -j $(JOBS) $(addprefix --target fuzz_,$(FUZZ_TARGETS))
	set -e; for t in $(FUZZ_TARGETS); do \
	  mkdir -p build-fuzz/corpus/$$t; \
	  build-fuzz/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -print_final_stats=1 \
	    -artifact_prefix=build-fuzz/ build-fuzz/corpus/$$t fuzz/corpus/$$t; \
	done

# For this user only, no root: ${XDG_DATA_HOME:-~/.local/share}/piko and a menu entry.
install: build
	@./tools/install.sh install $(BUILD)

# Keeps the pet (my.dat) where it is.
uninstall:
	@./tools/install.sh uninstall

clean:
	rm -rf $(BUILD)

# The device tests (audio thread, posted messages) under ThreadSanitizer.
TSAN_BUILD ?= build-tsan
.PHONY: tsan
tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS="-fsanitize=thread -g -O1" -DCMAKE_C_FLAGS="-fsanitize=thread -g -O1" \
	  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread $(CMAKE_FLAGS)
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target test_device test_sdl_disk
	SDL_AUDIODRIVER=dummy TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" $(TSAN_BUILD)/tests/device/test_device
	TSAN_OPTIONS="halt_on_error=1" $(TSAN_BUILD)/tests/sdl_disk/test_sdl_disk

# The Google benchmarks (this build's RelWithDebInfo) and the program's own
# figures from tools/measure.sh, each kept in $(BENCH_RESULTS)/.
BENCH_RESULTS ?= $(BUILD)/bench-results
.PHONY: bench
bench: build
	mkdir -p $(BENCH_RESULTS)
	set -e; for b in $(BUILD)/bench/bench_*; do \
	  n=$$(basename $$b); \
	  $$b --benchmark_out=$(BENCH_RESULTS)/$$n.json --benchmark_out_format=json >$(BENCH_RESULTS)/$$n.txt \
	    || { cat $(BENCH_RESULTS)/$$n.txt; exit 1; }; \
	  cat $(BENCH_RESULTS)/$$n.txt; \
	done
	./tools/measure.sh $(BUILD) $(BENCH_RESULTS)
