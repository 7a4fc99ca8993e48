# Entry points. Each one does its own set-up on a fresh Debian 12 machine (run as root):
#   make test    build everything and run every test under Wine
#   make demo    run the wizard on a simulated PC and show what it did
BUILD_DIR ?= build
MAKEFLAGS += --no-print-directory
CMAKE_FLAGS ?=
SCENARIO ?= scenarios/typical-xp.scenario

.PHONY: all deps configure build test demo bench screenshot clean format

all: build

# Debian packages the project needs; only what is missing is installed.
PACKAGES := wine wine32:i386 g++-mingw-w64-i686 binutils-mingw-w64-i686 googletest cmake make \
            espeak-ng util-linux
# Only the screenshot needs an X server and an image converter.
SCREENSHOT_PACKAGES := xvfb xauth x11-apps imagemagick

deps:
	@./tools/install-deps.sh $(PACKAGES)

configure: deps
	@if [ ! -f $(BUILD_DIR)/CMakeCache.txt ]; then \
	    cmake -S . -B $(BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake \
	          -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS); \
	fi

build: configure
	cmake --build $(BUILD_DIR) -j2

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure

# Runs the wizard on the simulated PC of SCENARIO (see scenarios/) in a fresh Wine prefix.
demo: build
	@./tools/demo/demo.sh $(BUILD_DIR) $(SCENARIO)

# Measures start-up, the patch phase, the wait for the driver package, size and memory in a
# fresh Wine prefix of its own, and writes the table to $(BUILD_DIR)/bench.md.
bench: build
	@./tools/bench/bench.sh $(BUILD_DIR)

# A picture of the wizard shown in a real X server (Xvfb), saved as $(BUILD_DIR)/screenshot.png.
screenshot: build
	@./tools/install-deps.sh $(SCREENSHOT_PACKAGES)
	./tools/screenshot.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')
