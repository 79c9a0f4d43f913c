# Thin wrappers over CMake. Every target installs what it needs first.
BUILD      ?= build
SAN_BUILD  ?= build-sanitize
TSAN_BUILD ?= build-tsan
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
# 0: one pass over the kept fuzz corpus; more: fuzz that many seconds after it.
FUZZ_SECONDS ?= 0
JOBS       ?= $(shell nproc)
PREFIX     ?= /usr/local
CTEST_ENV  = QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
# Our own test and CI builds stop on any warning; `make run`, `make install` and the
# benchmarks build as a user's or packager's build would (BENCH_WERROR=ON for CI).
WERROR     = -DCORVALINE_WERROR=ON
BENCH_WERROR ?= OFF
# The formatter the layout is checked with; other versions lay the same code out differently.
CLANG_FORMAT ?= clang-format-16

.PHONY: deps run install test test-sanitize test-tsan soak bench bench-build fuzz format \
	format-check clean

deps:
	@scripts/install-deps

run: deps
	cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD) -j $(JOBS) --target corvaline
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY$$QT_QPA_PLATFORM" ]; then \
		echo "make run: no display to open the window on (DISPLAY is not set);" \
		     "run it in a desktop session, or under Xvfb: xvfb-run make run" >&2; \
		exit 1; \
	fi
	$(BUILD)/app/corvaline

# The program, its desktop entry, icons and manual page under PREFIX (DESTDIR for staging).
install: deps
	cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD) -j $(JOBS) --target corvaline corvaline_icon_theme
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

test: deps
	cmake -S . -B $(BUILD) -G Ninja $(WERROR)
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && $(CTEST_ENV) ctest --output-on-failure --timeout 300 -j $(JOBS)

test-sanitize: deps
	cmake -S . -B $(SAN_BUILD) -G Ninja -DCORVALINE_SANITIZE=address -DCORVALINE_BENCH=OFF $(WERROR)
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && $(CTEST_ENV) ctest --output-on-failure --timeout 300 -j $(JOBS)

# The sound library's threads and a long sequence run through the window, under
# ThreadSanitizer. The other window tests are left out: Qt's own libraries are not
# instrumented, and its internal threads (message boxes, image writers) are reported as
# races of Qt's with itself.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCORVALINE_SANITIZE=thread -DCORVALINE_BENCH=OFF $(WERROR)
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target sound_tests playlist_tests
	cd $(TSAN_BUILD) && $(CTEST_ENV) ctest --output-on-failure --timeout 600 -j $(JOBS) \
		-R '^sound\.|^playlist\.LongRunTest'

# The long sequence run of the tests, over 500 generated tracks instead of a few dozen.
soak: deps
	cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD) -j $(JOBS) --target playlist_tests
	cd $(BUILD) && $(CTEST_ENV) CORVALINE_LONG_RUN_TRACKS=500 \
		tests/playlist/playlist_tests --gtest_filter='LongRunTest.*'

# The Release build the benchmarks run from, built but not run (CI builds it so that
# `make bench` cannot break unseen).
bench-build: deps
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
		-DCORVALINE_WERROR=$(BENCH_WERROR)
	cmake --build $(BENCH_BUILD) -j $(JOBS)

bench: bench-build
	$(BENCH_BUILD)/bench/sound_bench
	$(BENCH_BUILD)/bench/startup_bench
	$(BENCH_BUILD)/bench/window_bench
	$(BENCH_BUILD)/bench/playlist_bench
	$(BENCH_BUILD)/bench/remote_bench
	$(BENCH_BUILD)/bench/cpu_bench

# The sound library under libFuzzer: every file of the kept corpus once (a regression
# pass), then FUZZ_SECONDS of new inputs, kept in $(FUZZ_BUILD)/corpus; crashes land in
# $(FUZZ_BUILD) too. Finds worth keeping go into the kept corpus, minimised, with
#   $(FUZZ_RUN) -merge=1 $(FUZZ_CORPUS) $(FUZZ_BUILD)/corpus
FUZZ_CORPUS = tests/fuzz/corpus
FUZZ_RUN    = LSAN_OPTIONS=suppressions=tests/fuzz/lsan.supp \
	$(FUZZ_BUILD)/tests/fuzz/stream_file_fuzzer -dict=tests/fuzz/audio.dict -max_len=65536 -timeout=10 \
	-rss_limit_mb=2048 -close_fd_mask=2 -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCORVALINE_FUZZ=ON \
		-DBUILD_TESTING=OFF -DCORVALINE_BENCH=OFF $(WERROR)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target stream_file_fuzzer
	$(FUZZ_RUN) -runs=0 $(FUZZ_CORPUS)
	if [ "$(FUZZ_SECONDS)" -gt 0 ]; then \
		mkdir -p $(FUZZ_BUILD)/corpus && \
		$(FUZZ_RUN) -max_total_time=$(FUZZ_SECONDS) $(FUZZ_BUILD)/corpus $(FUZZ_CORPUS); \
	fi

# Every tracked C++ file laid out as .clang-format says: `format` rewrites them,
# `format-check` only names those that differ (and fails).
format: deps
	git ls-files -z -- '*.cpp' '*.h' | xargs -0 $(CLANG_FORMAT) -i

format-check: deps
	@CLANG_FORMAT=$(CLANG_FORMAT) scripts/check-format

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(TSAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD)
