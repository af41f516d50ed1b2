# Thin wrapper over CMake: `make run` tries the program on a generated
# sample picture, `make test` builds and runs every test.
BUILD_DIR ?= build
RUN_DIR ?= build-run
JOBS ?= 2
MAKEFLAGS += --no-print-directory

.PHONY: build run test test-quick clean windows test-windows sanitize fuzz bench
.PHONY: package package-windows gallery

build: needs-build
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The UTF-8 console build, so the dialogue reads right in a Linux terminal.
# The sample is made fresh: answer "sample" at the first prompt.
run: needs-run
	cmake -S . -B $(RUN_DIR) -DCMAKE_BUILD_TYPE=Release -DDENOISE_UTF8_CONSOLE=ON -DDENOISE_BUILD_TESTS=OFF
	cmake --build $(RUN_DIR) -j $(JOBS) --target denoise make_sample
	mkdir -p $(RUN_DIR)/work
	$(RUN_DIR)/make_sample --width 640 --height 480 --seed 1 $(RUN_DIR)/work/sample.bmp $(RUN_DIR)/work/sample_clean.bmp
	@echo "Working folder: $(RUN_DIR)/work (sample.bmp is the noisy picture, sample_clean.bmp its clean original)"
	cd $(RUN_DIR)/work && ../denoise

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# Every test but those labelled slow (whole pictures through the plain
# forms): about half a minute instead of four.
test-quick: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS) -LE slow

# 32-bit Windows console program, cross-built with mingw-w64.
windows: needs-windows
	bash cmake/build-windows.sh

# The Windows build's end-to-end tests under wine, against the Linux build.
test-windows: needs-test-windows build windows
	bash tests/windows/run-wine-tests.sh

# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: needs-sanitize
	bash tests/sanitize.sh

# libFuzzer over the BMP reader; FUZZ_SECONDS sets how long.
fuzz: needs-fuzz
	bash fuzz/run.sh

# Filter timings, with OpenCV beside them when it is installed.
bench: needs-bench
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DDENOISE_BUILD_BENCHMARKS=ON -DDENOISE_BUILD_TESTS=OFF
	cmake --build build-bench -j $(JOBS) --target filter_bench
	build-bench/bench/filter_bench

# The Linux packages (.tar.gz and .deb, UTF-8 console) in build-package/.
package: needs-package
	cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DDENOISE_UTF8_CONSOLE=ON -DDENOISE_BUILD_TESTS=OFF
	cmake --build build-package -j $(JOBS) --target denoise
	cd build-package && cpack
	@ls -1 build-package/denoise*.deb build-package/denoise*.tar.gz

# The Windows package (.zip with denoise.exe and the guide) in build-package-windows/.
package-windows: needs-package-windows
	WINDOWS_BUILD_DIR=build-package-windows bash cmake/build-windows.sh
	cd build-package-windows && cpack
	@ls -1 build-package-windows/denoise*.zip

# The guide's pictures and PSNR table, remade from the sample picture.
gallery: needs-gallery
	bash tools/gallery.sh

# Each target first names the Debian packages it needs and this machine lacks.
needs-%:
	@bash tools/needs.sh $*

clean:
	rm -rf $(BUILD_DIR) $(RUN_DIR)
