# Two entry points for a fresh machine: `make run` and `make test`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_MAX_LEN ?= 8192
WINDOWS_DIR ?= build-windows
SANITIZE_DIR ?= build-sanitize
# CI builds with warnings as errors.
ifneq ($(strip $(CI)),)
CMAKE_FLAGS += -DKORVALIN_WERROR=ON
endif

.PHONY: run test build configure deps clean fuzz bench demo format windows windows-check sanitize mutation testratio

run: build
	$(BUILD_DIR)/bin/korvalin

# Two short sample clips, the second with sound, opened in Korvalin: press Go! and each becomes a folder of DNGs
# beside it in $(BUILD_DIR)/demo/.
DEMO_DIR = $(BUILD_DIR)/demo
demo: build
	mkdir -p $(DEMO_DIR)
	$(BUILD_DIR)/bin/mlv2dng_makeclip $(DEMO_DIR)/A001.MLV 640 360 24
	$(BUILD_DIR)/bin/mlv2dng_makeclip --sound $(DEMO_DIR)/A002.MLV 640 360 48
	$(BUILD_DIR)/bin/korvalin $(DEMO_DIR)/A001.MLV $(DEMO_DIR)/A002.MLV

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

configure: deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)

deps:
	sh scripts/install-deps.sh

clean:
	rm -rf $(BUILD_DIR)

# Lays out every C++ source with .clang-format; `make test` fails on sources this would change.
format: deps
	sh scripts/format.sh

# Runs every libFuzzer target for FUZZ_SECONDS, each on its own corpus under $(FUZZ_DIR)/corpus,
# seeded by the seeds program. Crashes land in $(FUZZ_DIR)/artifacts. Not part of `make test`.
fuzz:
	sh scripts/install-deps.sh --fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DKORVALIN_FUZZ=ON -DKORVALIN_BUILD_GUI=OFF -DKORVALIN_BUILD_BENCH=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target korvalin_fuzz
	mkdir -p $(FUZZ_DIR)/artifacts
	set -e; for target in $(FUZZ_DIR)/fuzz/fuzz_*; do \
	    name=$$(basename $$target); corpus=$(FUZZ_DIR)/corpus/$$name; mkdir -p $$corpus; \
	    $(FUZZ_DIR)/fuzz/seeds $${name#fuzz_} $$corpus; \
	    echo "== $$name for $(FUZZ_SECONDS) s"; \
	    $$target -max_total_time=$(FUZZ_SECONDS) -max_len=$(FUZZ_MAX_LEN) -print_final_stats=1 \
	        -artifact_prefix=$(FUZZ_DIR)/artifacts/$$name- $$corpus; \
	done

# Cross-builds mlv2dng.exe for 64-bit Windows into $(WINDOWS_DIR)/bin, runtime linked in: it needs no DLL.
windows:
	sh scripts/install-deps.sh --windows
	cmake -S . -B $(WINDOWS_DIR) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
	    -DCMAKE_BUILD_TYPE=Release -DKORVALIN_BUILD_GUI=OFF -DKORVALIN_BUILD_BATCH=OFF -DKORVALIN_BUILD_BENCH=OFF \
	    -DKORVALIN_BUILD_TESTS=OFF \
	    $(CMAKE_FLAGS)
	cmake --build $(WINDOWS_DIR) -j $(JOBS) --target mlv2dng

# Converts the same clips with the Linux build and with mlv2dng.exe under Wine, and compares every
# byte written and every exit code. Not part of `make test`: Wine is large and slow to start.
windows-check: windows configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target mlv2dng mlv2dng_checkclips
	bash tests/windows/windows-check.sh $(BUILD_DIR)/bin $(WINDOWS_DIR)/bin/mlv2dng.exe

# Builds everything and its tests with AddressSanitizer and UndefinedBehaviorSanitizer in $(SANITIZE_DIR) and runs
# every test there; any report fails the test that met it. Reports from inside Qt or glibc that are not ours are
# suppressed in tests/sanitize/, each with its reason. Allocations are traced through libraries built without frame
# pointers (fast_unwind_on_malloc=0): slower, but a suppression can then name the library function that leaks. A
# sanitizer ends a program with exit code 86, which no test takes for mlv2dng's own failure (1).
SANITIZE_ASAN = detect_leaks=1:fast_unwind_on_malloc=0:detect_stack_use_after_return=1:strict_string_checks=1
SANITIZE_ASAN := $(SANITIZE_ASAN):exitcode=86
sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -DKORVALIN_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && ASAN_OPTIONS=$(SANITIZE_ASAN) \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitize/lsan.supp:print_suppressions=0 \
	    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:exitcode=86 \
	    ctest --output-on-failure -j $(JOBS)

# Makes small faults in the product's sources one at a time and tells how many the tests catch, in a build folder
# of its own (build-mutation). Slow: about a minute a mutant. Restores every source; commits nothing.
# Pass options through MUTATION_ARGS, e.g. MUTATION_ARGS="--seed 7 --count 20" or "--files engine/joblist.cpp".
MUTATION_ARGS ?=
mutation: deps
	python3 scripts/mutation.py $(MUTATION_ARGS)

# Lines of test code against lines of the code under test.
testratio:
	python3 scripts/testratio.py
