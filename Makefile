# Thin wrapper over CMake: `make run` tries the program on a generated
# sample picture, `make test` builds and runs every test.
BUILD_DIR ?= build
RUN_DIR ?= build-run
JOBS ?= 2
MAKEFLAGS += --no-print-directory

.PHONY: build run test test-quick clean windows test-windows sanitize fuzz bench

build:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The UTF-8 console build, so the dialogue reads right in a Linux terminal.
# The sample is made fresh: answer "sample" at the first prompt.
run:
	cmake -S . -B $(RUN_DIR) -DCMAKE_BUILD_TYPE=Release -DDENOISE_UTF8_CONSOLE=ON -DDENOISE_BUILD_TESTS=OFF
	cmake --build $(RUN_DIR) -j $(JOBS) --target denoise make_sample
	mkdir -p $(RUN_DIR)/work
	$(RUN_DIR)/make_sample --width 640 --height 480 --seed 1 $(RUN_DIR)/work/sample.bmp $(RUN_DIR)/work/sample_clean.bmp
	@echo "Working folder: $(RUN_DIR)/work (sample.bmp is the noisy picture, sample_clean.bmp its clean original)"
	cd $(RUN_DIR)/work && ../denoise

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# Every test but those labelled slow (the whole largest picture through the
# plain forms): a few seconds instead of a minute.
test-quick: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS) -LE slow

# 32-bit Windows console program, cross-built with mingw-w64.
windows:
	bash cmake/build-windows.sh

# The Windows build's end-to-end tests under wine, against the Linux build.
test-windows: build windows
	bash tests/windows/run-wine-tests.sh

# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	bash tests/sanitize.sh

# libFuzzer over the BMP reader; FUZZ_SECONDS sets how long.
fuzz:
	bash fuzz/run.sh

# Filter timings, with OpenCV beside them when it is installed.
bench:
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DDENOISE_BUILD_BENCHMARKS=ON -DDENOISE_BUILD_TESTS=OFF
	cmake --build build-bench -j $(JOBS) --target filter_bench
	build-bench/bench/filter_bench

clean:
	rm -rf $(BUILD_DIR) $(RUN_DIR)
