# The two everyday commands: `make run` and `make test`. CMake does the real work.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
WINDOWS_BUILD ?= build-windows
RUN_DIR    ?= run
JOBS       ?= $(shell nproc)
# The tests mostly wait on the wire and the simulator: run twice as many as there are cores.
TEST_JOBS  ?= $(shell echo $$(( $$(nproc) * 2 )))
FUZZ_SECONDS ?= 8
PREFIX     ?= /usr/local

.PHONY: all deps configure build programs run run-hardware run-broadcast install uninstall package test \
        test-unit test-sanitize fuzz fuzz-long bench windows windows-configure test-windows clean

all: build

deps:
	@tools/ensure-deps.sh

# Ninja keeps both cores busy across libraries; a build folder made earlier keeps its own
# generator. The everyday build is optimised without debug information (it doubles the
# compile time); the sanitizer build keeps line tables for its reports.
generator = $(shell sed -n 's/^CMAKE_GENERATOR:INTERNAL=//p' $(1)/CMakeCache.txt 2>/dev/null | grep . || echo Ninja)

configure: deps
	@cmake -S . -B $(BUILD) -G "$(call generator,$(BUILD))" -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" >/dev/null

# Everything: the programs, the tests, the benchmarks.
build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Only the programs `make run` starts, and velm-cli, which the README's next steps use.
programs: configure
	@cmake --build $(BUILD) -j $(JOBS) --target velm velm-sim velm-initdb velm-cli

# Starts the tool in $(RUN_DIR), creating the record database there on first use, with the
# simulated installation beside it (run-hardware: the tool alone).
run: deps
	@$(quiet_programs)
	@tools/run.sh $(BUILD) $(RUN_DIR)

run-hardware: deps
	@$(quiet_programs)
	@SIM=0 tools/run.sh $(BUILD) $(RUN_DIR)

# The same as `make run` in a network namespace of its own with only the loopback interface,
# where the bus switch's broadcast "Read" reaches the simulator (and nothing else).
run-broadcast: deps
	@$(quiet_programs)
	@BROADCAST=1 tools/run.sh $(BUILD) $(RUN_DIR)

# The build before a start shows its progress on one line; its whole output only when it
# fails.
define quiet_programs
{ $(MAKE) --no-print-directory programs 2>&1; echo "exit: $$?"; } | \
  tools/build-progress.sh "velm, velm-sim, velm-initdb and velm-cli in $(BUILD)/"
endef

# Installs the programs, the menu entry and its icon, the manual pages and the documents under
# $(PREFIX) (DESTDIR is honoured), and lists them in $(PREFIX)/share/velm/install_manifest.txt;
# `make uninstall` with the same PREFIX removes what that list names.
install: configure
	@cmake --build $(BUILD) -j $(JOBS) --target velm-programs
	@cmake -DACTION=install -DBUILD="$(BUILD)" -DPREFIX="$(PREFIX)" -P dist/install.cmake

uninstall:
	@cmake -DACTION=uninstall -DPREFIX="$(PREFIX)" -P dist/install.cmake

# The Debian package, $(BUILD)/velm_<version>_<arch>.deb.
package: configure
	@cmake --build $(BUILD) -j $(JOBS) --target velm-programs
	cd $(BUILD) && cpack -G DEB

test: test-unit test-sanitize fuzz

# The package is made after the build, never beside it in the same build folder.
test-unit: build
	@$(MAKE) --no-print-directory package
	ctest --test-dir $(BUILD) --output-on-failure -j $(TEST_JOBS)

test-sanitize: deps
	@cmake -S . -B $(ASAN_BUILD) -G "$(call generator,$(ASAN_BUILD))" -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g1" -DVELM_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(TEST_JOBS)

fuzz: deps
	@tools/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

fuzz-long: deps
	@tools/fuzz.sh $(FUZZ_BUILD) 600

# Windows: cross-built with mingw-w64 against the Qt SDK in VELM_QT_WINDOWS (else
# ../shared/qt6-windows), packed as a zip and an installer in $(WINDOWS_BUILD)/;
# test-windows runs the Windows programs and tests under wine (tools/windows/test.sh says which).
windows-configure:
	@tools/ensure-deps.sh windows
	@tools/windows/configure.sh $(WINDOWS_BUILD)

# The programs are built even when the packages cannot be made (a damaged SDK): the exit status
# says the packages were not made, and so does the last line.
windows: windows-configure
	@cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target velm-programs
	@cmake --build $(WINDOWS_BUILD) --target velm-windows-package || { \
	  echo "make windows: the programs are built in $(WINDOWS_BUILD)/bin, but the zip and the" \
	       "installer were NOT made (see above)" >&2; exit 1; }

# Every Windows program and test (not the package: the tests run from the build folder).
test-windows: windows-configure build
	@cmake --build $(WINDOWS_BUILD) -j $(JOBS)
	@tools/windows/test.sh $(WINDOWS_BUILD) $(BUILD)

bench: build
	@for b in $(BUILD)/bin/bench_*; do echo "== $$b"; QT_QPA_PLATFORM=offscreen $$b || exit 1; done

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(WINDOWS_BUILD)
