# ピコ日記: `make run` to play, `make test` to check everything.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test test-fast test-asan test-debian13 fuzz fuzz-build fuzz-mydat soak install uninstall package clean

all: build

deps:
	@./tools/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Only the program and its cg/: nothing else (a test, say) can keep the pet from starting.
run: configure
	cmake --build $(BUILD) -j $(JOBS) --target piko
	@./tools/run-piko.sh $(BUILD)/bin/piko

TEST_ENV = QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy

# The whole suite, then again under AddressSanitizer, LeakSanitizer and UBSan.
test: test-fast
	$(MAKE) test-asan

test-fast: build
	cd $(BUILD) && $(TEST_ENV) ctest --output-on-failure -j $(JOBS)

# Everything is built here at -O1, the program too: some tests run it as a
# separate process, and it should be as clean as the code the tests call.
ASAN_BUILD ?= build-asan
SANITIZER_ENV = $(TEST_ENV) \
	ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=1:print_stacktrace=1:strict_string_checks=1:detect_stack_use_after_return=1 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/support/lsan.supp:print_suppressions=0

$(ASAN_BUILD)/build.ninja: | deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPIKO_SANITIZE=ON \
	  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DCMAKE_C_FLAGS_DEBUG="-O1 -g" $(CMAKE_FLAGS)

test-asan: $(ASAN_BUILD)/build.ninja
	$(SANITIZER_ENV) cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS)

# `make test` once more in a fresh Debian 13 chroot, on a clone of this
# checkout's HEAD (root; the bootstrapped base is kept in /var/cache/piko-debian13).
test-debian13:
	./tools/test-debian13.sh

# libFuzzer targets: every fuzz_<name> that fuzz/*.cmake defines, each run for
# FUZZ_SECONDS on its seeds in fuzz/corpus/<name>/ (new finds stay in the build).
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 600
FUZZ_TARGETS ?=

$(FUZZ_BUILD)/build.ninja: | deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPIKO_FUZZ=ON $(CMAKE_FLAGS)

fuzz-build: $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target \
	  $$(ninja -C $(FUZZ_BUILD) -t targets all | sed -n 's/^\(fuzz_[A-Za-z0-9_]*\): .*/\1/p' | sort -u)

fuzz: fuzz-build
	@set -e; for f in $(FUZZ_BUILD)/fuzz-bin/fuzz_*; do \
	  name=$${f##*/fuzz_}; \
	  if [ -n "$(FUZZ_TARGETS)" ] && ! echo " $(FUZZ_TARGETS) " | grep -q " $$name "; then continue; fi; \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$name fuzz/corpus/$$name; \
	  echo "== fuzz_$$name for $(FUZZ_SECONDS) s"; \
	  $$f -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_BUILD)/crash-$$name- \
	    $(FUZZ_BUILD)/corpus/$$name fuzz/corpus/$$name; \
	done

fuzz-mydat:
	$(MAKE) fuzz FUZZ_TARGETS=mydat

# A long life of the real window: SOAK_STEPS steps of 50 ms (default 2 000 000,
# about 28 hours of pet time), SOAK_SEED for another life than the fixed one.
SOAK_STEPS ?= 2000000
SOAK_SEED ?=
soak: build
	$(TEST_ENV) PIKO_SOAK_STEPS=$(SOAK_STEPS) PIKO_SOAK_SEED=$(SOAK_SEED) \
	  $(BUILD)/tests/system/test_system --gtest_filter='Soak.*'

# For this user only, no root: ${XDG_DATA_HOME:-~/.local/share}/piko and a menu entry.
install: build
	@./tools/install.sh install $(BUILD)

# Keeps the pet (my.dat) where it is.
uninstall:
	@./tools/install.sh uninstall

# The Debian package, for every user of the machine: $(BUILD)/piko_<version>_<arch>.deb
# (then: sudo apt install ./$(BUILD)/piko_*.deb). Builds only what it holds.
package: configure
	cmake --build $(BUILD) -j $(JOBS) --target piko_package_files
	cd $(BUILD) && umask 022 && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)

# The device tests (audio thread, posted messages) under ThreadSanitizer.
TSAN_BUILD ?= build-tsan
.PHONY: tsan
tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS="-fsanitize=thread -g -O1" -DCMAKE_C_FLAGS="-fsanitize=thread -g -O1" \
	  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread $(CMAKE_FLAGS)
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target test_platform
	SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
	  $(TSAN_BUILD)/tests/platform/test_platform --gtest_filter='SdlWaveOut.*:CallbackWindow.*'

# The Google benchmarks (this build's RelWithDebInfo) and the program's own
# figures from tools/measure.sh, each kept in $(BENCH_RESULTS)/.
BENCH_RESULTS ?= $(BUILD)/bench-results
.PHONY: bench mutants
bench: build
	mkdir -p $(BENCH_RESULTS)
	set -e; for b in $(BUILD)/bench/bench_*; do \
	  n=$$(basename $$b); \
	  $$b --benchmark_out=$(BENCH_RESULTS)/$$n.json --benchmark_out_format=json >$(BENCH_RESULTS)/$$n.txt \
	    || { cat $(BENCH_RESULTS)/$$n.txt; exit 1; }; \
	  cat $(BENCH_RESULTS)/$$n.txt; \
	done
	./tools/measure.sh $(BUILD) $(BENCH_RESULTS)

# Plants each fault of tools/mutants.txt in a scratch copy (build-mutants/)
# and runs the fast suite on it: caught or missed, one line each.
mutants: deps
	./tools/mutants.py --jobs $(JOBS)
