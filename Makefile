# The two ways in: `make run` builds and starts the alarm clock, `make test` builds and runs every test.
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: run test deps-run deps-test build build-asan test-main test-asan fuzz clean

run: deps-run build
	$(BUILD)/bin/tocsinet

test: deps-test build test-main build-asan test-asan fuzz

deps-run:
	scripts/deps.sh run

deps-test:
	scripts/deps.sh test

build:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

test-main: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

build-asan:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOCSINET_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test-asan: build-asan
	ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -LE e2e

fuzz:
	scripts/fuzz.sh $(FUZZ_BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
