# Entry points. Each one does its own set-up on a fresh Debian 12 machine (run as root):
#   make test    build the trees and run every test under Wine
#   make demo    run the wizard on a simulated PC and show what it did
#   make medium VENDOR=<folder> [OUT=<folder>]
#                the display maker's files, checked, as an install medium, a CD image and a zip
#
# Three build trees from the same sources:
#   build/i686        what ships: Setup.exe and the install medium, build/i686/medium/
#   build/x86_64      the test bench: the same program built for x86_64 with the tests and tools,
#                     run under Wine's 64-bit loader on every host
#   build/i686-bench  where the host runs 32-bit programs: i686 builds of the end-to-end tests
#                     and of the tools that drive the shipped Setup.exe under Wine's 32-bit loader
# LUMI_BENCH_ONLY=1 leaves the shipped file out of the runs, as on a host that refuses 32-bit
# programs, so both paths can be tried on one host.
BUILD_DIR ?= build
SHIP_DIR := $(BUILD_DIR)/i686
BENCH_DIR := $(BUILD_DIR)/x86_64
SHIP_BENCH_DIR := $(BUILD_DIR)/i686-bench
MAKEFLAGS += --no-print-directory
CMAKE_FLAGS ?=
SCENARIO ?= scenarios/typical-xp.scenario
# Exit 0 where the shipped file can run on this host.
SHIPPED_HOST := ./tools/shipped-host.sh
.PHONY: all deps configure build test demo bench screenshot medium clean format

all: build

# Debian packages every host needs; only what is missing is installed. locales gives the sources
# of the Japanese locale that the code page 932 test runs compile for themselves.
PACKAGES := wine64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
            g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 googletest cmake make espeak-ng \
            util-linux locales
# make medium and its test: the CD image, Authenticode signing with its certificates, the zip.
PACKAGES += xorriso osslsigncode openssl zip
# Only the screenshot needs an X server and an image converter.
SCREENSHOT_PACKAGES := xvfb xauth x11-apps imagemagick

# Where the kernel runs 32-bit programs, also Debian's 32-bit Wine (i386 architecture) and the
# i686 compilers of the posix thread model for the i686 bench (GoogleTest needs std::mutex).
deps:
	@./tools/install-deps.sh $(PACKAGES)
	@$(SHIPPED_HOST) prepare

configure: deps
	@if [ ! -f $(SHIP_DIR)/CMakeCache.txt ]; then \
	    cmake -S . -B $(SHIP_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake \
	          -DCMAKE_BUILD_TYPE=Release -DLUMI_BENCH=OFF $(CMAKE_FLAGS); \
	fi
	@if [ ! -f $(BENCH_DIR)/CMakeCache.txt ]; then \
	    cmake -S . -B $(BENCH_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-mingw.cmake \
	          -DCMAKE_BUILD_TYPE=Release -DLUMI_SHIPPED_DIR=$(abspath $(SHIP_DIR)) \
	          -DLUMI_SHIPPED_BENCH_DIR=$(abspath $(SHIP_BENCH_DIR)) $(CMAKE_FLAGS); \
	fi
	@if $(SHIPPED_HOST) check >/dev/null && [ ! -f $(SHIP_BENCH_DIR)/CMakeCache.txt ]; then \
	    cmake -S . -B $(SHIP_BENCH_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-bench-mingw.cmake \
	          -DCMAKE_BUILD_TYPE=Release -DLUMI_SHIPPED_E2E=ON \
	          -DLUMI_SHIPPED_DIR=$(abspath $(SHIP_DIR)) $(CMAKE_FLAGS); \
	fi

build: configure
	cmake --build $(SHIP_DIR) -j2
	cmake --build $(BENCH_DIR) -j2
	@if $(SHIPPED_HOST) check >/dev/null; then cmake --build $(SHIP_BENCH_DIR) -j2; fi

# ctest runs in the bench tree; its *_shipped entries run the i686 bench against the shipped
# Setup.exe, or report themselves skipped with the reason, which is repeated at the end.
test: build
	@cd $(BENCH_DIR) && ctest --output-on-failure; status=$$?; cd $(CURDIR); \
	if reason=$$($(SHIPPED_HOST) check); then \
	    echo "The *_shipped entries ran the shipped $(SHIP_DIR)/medium/Setup.exe under Wine's 32-bit loader."; \
	else \
	    echo "The *_shipped entries were skipped: $$reason; the x86_64 bench ran alone."; \
	fi; exit $$status

# Runs the wizard on the simulated PC of SCENARIO (see scenarios/) in a fresh Wine prefix: the
# shipped Setup.exe where the host runs 32-bit programs, else the bench's (its first line says
# which, and why).
# The set-up and the build write to $(BUILD_DIR)/demo-build.log, so the demo's first line is the
# one that names the Setup.exe it runs.
demo:
	@mkdir -p $(BUILD_DIR)
	@$(MAKE) build >$(BUILD_DIR)/demo-build.log 2>&1 || { tail -n 30 $(BUILD_DIR)/demo-build.log; \
	    echo "demo: the set-up or the build failed; see $(BUILD_DIR)/demo-build.log" >&2; exit 1; }
	@./tools/demo/demo.sh $(BUILD_DIR) $(SCENARIO)

# Measures start-up and the patch phase of the bench build and, where the host can run it, of
# the shipped Setup.exe in the same run; the wait for the driver package and memory on the bench;
# the size and imports of the shipped Setup.exe. Writes the table to $(BUILD_DIR)/bench.md.
bench: build
	@./tools/bench/bench.sh $(BUILD_DIR) $(BUILD_DIR)/bench.md

# The install medium for users, from the shipped Setup.exe and the display maker's folder VENDOR
# (laid out as the sample medium, build/i686/medium): every file the wizard reads checked, then
# OUT/medium, OUT/Lumitactile.iso, OUT/Lumitactile.zip and OUT/SHA256SUMS. SIGN_PFX (with
# SIGN_PASS_FILE, SIGN_TIMESTAMP_URL) signs Setup.exe; ALLOW_SAMPLE=1 takes the sample stand-ins.
VENDOR ?=
OUT ?= $(BUILD_DIR)/release
medium: configure
	@[ -n "$(VENDOR)" ] || { echo "medium: name the display maker's folder: make medium VENDOR=<folder> [OUT=<folder>]" >&2; exit 1; }
	@cmake --build $(SHIP_DIR) -j2 >$(BUILD_DIR)/medium-build.log 2>&1 || { tail -n 30 $(BUILD_DIR)/medium-build.log; \
	    echo "medium: the shipped build failed; see $(BUILD_DIR)/medium-build.log" >&2; exit 1; }
	@ALLOW_SAMPLE="$(ALLOW_SAMPLE)" SIGN_PFX="$(SIGN_PFX)" SIGN_PASS_FILE="$(SIGN_PASS_FILE)" \
	    SIGN_TIMESTAMP_URL="$(SIGN_TIMESTAMP_URL)" ./tools/medium/make-medium.sh \
	    $(SHIP_DIR)/Setup.exe "$(VENDOR)" "$(OUT)"

# A picture of the wizard shown in a real X server (Xvfb), saved as $(BUILD_DIR)/screenshot.png.
screenshot: build
	@./tools/install-deps.sh $(SCREENSHOT_PACKAGES)
	./tools/screenshot.sh $(BENCH_DIR) $(BUILD_DIR)/screenshot.png

# A run cut off while the CD scenario ran may leave its read-only mount behind; it goes first.
clean:
	@grep -o " $(abspath $(BUILD_DIR))/[^ ]*" /proc/mounts 2>/dev/null | xargs -r -n1 umount
	rm -rf $(BUILD_DIR)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')
