# Thin wrapper over CMake: `make run` tries the program on a generated
# sample picture, `make test` builds and runs every test.
BUILD_DIR ?= build
RUN_DIR ?= build-run
JOBS ?= 2

.PHONY: build run test clean

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

clean:
	rm -rf $(BUILD_DIR) $(RUN_DIR)
