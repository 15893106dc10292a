# Quillpost: `make run` builds and starts the program, `make test` builds and runs every
# test. Both install the Debian packages that are missing first.
BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_TSAN ?= build-tsan
BUILD_ASAN_QT ?= build-asan-qt
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja
# Line tables (-g1) are enough for stack traces and build faster than full debug information.
LINE_TABLES := -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"

.PHONY: all deps configure build run test test-main test-asan test-tsan stress bench package install format clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(LINE_TABLES)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/quillpost

test: build
	scripts/run-tests

test-main: build
	scripts/run-tests main

test-asan: deps
	scripts/run-tests asan

test-tsan: deps
	scripts/run-tests tsan

# The main suite five rounds over, two tests at a time; lists any test that ever failed.
stress: build
	scripts/stress-tests

# The Debian package (CPack): $(BUILD)/package/quillpost_<version>-1_<arch>.deb
package: build
	cmake --build $(BUILD) --target package

# Installs into PREFIX (default /usr/local) with the GNU install folders.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

bench: build
	scripts/run-benchmarks $(BUILD)/bench

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_TSAN) $(BUILD_ASAN_QT)
