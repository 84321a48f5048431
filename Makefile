# The two everyday commands: `make run` and `make test`. CMake does the real work.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
RUN_DIR    ?= run
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 20

.PHONY: all deps build run run-hardware test test-unit test-sanitize fuzz fuzz-long bench clean

all: build

deps:
	@tools/ensure-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# Starts the tool in $(RUN_DIR), creating the record database there on first use, with the
# simulated installation beside it (run-hardware: the tool alone).
run: build
	@tools/run.sh $(BUILD) $(RUN_DIR)

run-hardware: build
	@SIM=0 tools/run.sh $(BUILD) $(RUN_DIR)

test: test-unit test-sanitize fuzz

test-unit: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVELM_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

fuzz: deps
	@tools/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

fuzz-long: deps
	@tools/fuzz.sh $(FUZZ_BUILD) 600

bench: build
	@for b in $(BUILD)/bin/bench_*; do echo "== $$b"; QT_QPA_PLATFORM=offscreen $$b || exit 1; done

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
