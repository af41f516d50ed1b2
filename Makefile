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

# Both Windows console programs, cross-built with mingw-w64:
# build-windows/denoise.exe (32-bit) and build-windows64/denoise64.exe (64-bit).
windows: needs-windows
	bash cmake/build-windows.sh

# Both Windows builds with their test suites: each build's ctest under wine,
# then the whole program against the Linux build; a build whose wine cannot
# run here is checked without running, and the output says why.
test-windows: needs-test-windows build
	WINDOWS_TESTS=ON bash cmake/build-windows.sh
	bash tests/windows/test_windows.sh

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

# The Windows package (.zip with denoise.exe, denoise64.exe and the guide)
# in build-package-windows/; the 64-bit program is built beside it first.
package-windows: needs-package-windows
	WINDOWS_BITS=64 WINDOWS64_BUILD_DIR=build-package-windows64 bash cmake/build-windows.sh
	WINDOWS_BITS=32 WINDOWS32_BUILD_DIR=build-package-windows bash cmake/build-windows.sh \
	  -DDENOISE_WINDOWS64_PROGRAM=$(CURDIR)/build-package-windows64/denoise64.exe
	cmake --build build-package-windows --target doc_pages
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
