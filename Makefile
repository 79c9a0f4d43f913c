# Thin wrappers over CMake. Every target installs what it needs first.
BUILD      ?= build
SAN_BUILD  ?= build-sanitize
TSAN_BUILD ?= build-tsan
BENCH_BUILD ?= build-bench
JOBS       ?= $(shell nproc)
PREFIX     ?= /usr/local
CTEST_ENV  = QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy

.PHONY: deps run install test test-sanitize test-tsan bench clean

deps:
	@scripts/install-deps

run: deps
	cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD) -j $(JOBS) --target corvaline
	$(BUILD)/app/corvaline

# The program, its desktop entry, icons and manual page under PREFIX (DESTDIR for staging).
install: deps
	cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD) -j $(JOBS) --target corvaline corvaline_icon_theme
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

test: deps
	cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && $(CTEST_ENV) ctest --output-on-failure --timeout 300 -j $(JOBS)

test-sanitize: deps
	cmake -S . -B $(SAN_BUILD) -G Ninja -DCORVALINE_SANITIZE=address -DCORVALINE_BENCH=OFF
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && $(CTEST_ENV) ctest --output-on-failure --timeout 300 -j $(JOBS)

test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCORVALINE_SANITIZE=thread -DCORVALINE_BENCH=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS)
	# Qt's own libraries are not instrumented, so the window tests would only
	# report Qt's internals; the threads worth checking are the sound library's.
	cd $(TSAN_BUILD) && $(CTEST_ENV) ctest --output-on-failure --timeout 300 -j $(JOBS) -E '^dialog\.'


bench: deps
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	$(BENCH_BUILD)/bench/sound_bench
	$(BENCH_BUILD)/bench/startup_bench
	$(BENCH_BUILD)/bench/window_bench
	$(BENCH_BUILD)/bench/playlist_bench

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(TSAN_BUILD) $(BENCH_BUILD)
