# The two set-up commands: `make run` and `make test`. Everything else is for developers.
JOBS ?= $(shell nproc)
BUILD ?= build
# Extra CMake options for every build made here.
CMAKE_FLAGS ?=
# Warnings as errors: CI sets WERROR=ON; `make run`, `install` and `package`
# build with it off (a build tree left with it on is configured again).
WERROR ?= OFF
override CMAKE_FLAGS += -DZAP_WERROR=$(WERROR)

.PHONY: all deps build run test test-asan test-tsan fuzz fuzz-run bench install package check-package \
        check-flashes clean windows test-windows web-sim test-web-sim web web-serve web-zip test-web

all: build

deps:
	@bash tools/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	@grep -qx "ZAP_WERROR:BOOL=$(WERROR)" $(BUILD)/CMakeCache.txt || cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/zaptomania

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The unit and simulator tests again under AddressSanitizer + UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZAP_SANITIZE=ON -DZAP_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) -L 'unit|sim'

# The mixer and audio-device tests under ThreadSanitizer.
test-tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAP_TSAN=ON -DZAP_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build build-tsan -j $(JOBS) --target test_audio test_backends_sdl
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -R 'Mixer|Device|Tsan'

fuzz:
	@bash tools/install-deps.sh --fuzz
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAP_FUZZ=ON \
	  -DZAP_TESTS=OFF -DZAP_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build build-fuzz -j $(JOBS)

# Runs every fuzz target for FUZZ_SECONDS each on its seed corpus.
FUZZ_SECONDS ?= 60
fuzz-run: fuzz
	bash tools/run-fuzzers.sh build-fuzz $(FUZZ_SECONDS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b --benchmark_min_time=0.2; done

# Installs into $(PREFIX) (default /usr/local).
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# A staged install into $(BUILD)/stage (the files as the package lays them
# out under /usr) and the .deb in $(BUILD).
package: build
	rm -rf $(BUILD)/stage
	DESTDIR=$(CURDIR)/$(BUILD)/stage cmake --install $(BUILD) --prefix /usr
	cd $(BUILD) && cpack -G DEB
	@ls -1 $(BUILD)/*.deb

# The package as software centres and distributions check it: the AppStream
# metadata, the desktop entry and the .deb (lintian, no errors or warnings).
check-package: package
	@bash tools/install-deps.sh --package
	bash tools/check-package.sh $(BUILD)

# Flashes per second over an attract cycle, a busy round and the results.
check-flashes: build
	bash tools/check-flashes.sh $(BUILD)

# The Windows x64 executables (zaptomania.exe, zaptomania-sim.exe), cross-built
# with mingw-w64 into build-windows; the libraries they link are built once
# from Debian's sources and cached (tools/build-win-deps.sh).
WINBUILD ?= build-windows
windows:
	@bash tools/install-deps.sh --windows
	@prefix=$$(bash tools/build-win-deps.sh) && \
	  { grep -qx "ZAP_WIN_PREFIX:[A-Z]*=$$prefix" $(WINBUILD)/CMakeCache.txt 2>/dev/null || \
	    rm -f $(WINBUILD)/CMakeCache.txt; } && \
	  cmake -S . -B $(WINBUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	    -DZAP_WIN_PREFIX=$$prefix -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(WINBUILD) -j $(JOBS)

# The Windows build's tests under Wine and Xvfb, and the determinism check
# against the Linux simulator.
test-windows: windows build
	bash tools/test-windows.sh $(WINBUILD) $(BUILD)

# The web build with Debian's Emscripten into build-web: the browser page
# (`make web`: index.html, zaptomania.js and .wasm) and the simulator as a
# Node.js program (`make web-sim`; node build-web/zaptomania-sim.js takes the
# native simulator's options). The libraries are built once from Debian's
# sources and cached (tools/build-web-deps.sh); the page's, with SDL2, are a
# superset that a tree configured for the page keeps for the simulator.
WEBBUILD ?= build-web
define web_configure
	@bash tools/install-deps.sh --web
	@prefix=$$(bash tools/build-web-deps.sh $(1)) && \
	  { grep -qx "ZAP_WEB_PREFIX:[A-Z]*=$$prefix" $(WEBBUILD)/CMakeCache.txt 2>/dev/null || \
	    rm -f $(WEBBUILD)/CMakeCache.txt; } && \
	  cmake -S . -B $(WEBBUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/emscripten.cmake -DZAP_WEB_PREFIX=$$prefix \
	    -DCMAKE_BUILD_TYPE=Release -DZAP_TESTS=OFF -DZAP_BENCH=OFF $(CMAKE_FLAGS)
endef
web-sim:
	$(call web_configure,$$(p=$$(sed -n 's/^ZAP_WEB_PREFIX:[A-Z]*=//p' $(WEBBUILD)/CMakeCache.txt 2>/dev/null); \
	  [ -n "$$p" ] && [ -f "$$p/lib/libSDL2.a" ] && echo --with-sdl2))
	cmake --build $(WEBBUILD) -j $(JOBS) --target zaptomania-sim

web:
	$(call web_configure,--with-sdl2)
	cmake --build $(WEBBUILD) -j $(JOBS) --target zaptomania

# Serves the page on 127.0.0.1 only (PORT, default 8000).
PORT ?= 8000
web-serve: web
	@echo "Open http://127.0.0.1:$(PORT)/ (Ctrl+C stops)"
	cd $(WEBBUILD) && python3 -m http.server $(PORT) --bind 127.0.0.1

# The page as a game host takes it: its three files in build-web/zaptomania-web.zip.
web-zip: web
	cd $(WEBBUILD) && rm -f zaptomania-web.zip && \
	  python3 -m zipfile -c zaptomania-web.zip index.html zaptomania.js zaptomania.wasm
	@ls -l $(WEBBUILD)/zaptomania-web.zip

# The page in headless Chromium (Debian's chromium-headless-shell, driven by
# puppeteer-core from npm at the version its lock file pins), on 127.0.0.1.
test-web: web
	@bash tools/install-deps.sh --web-test
	cd tests/web && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error
	ZAP_WEB_BUILD=$(WEBBUILD) node --test tests/web/

# The web simulator against the committed determinism digests and the Linux
# simulator (tools/test-web-sim.sh).
test-web-sim: web-sim build
	bash tools/test-web-sim.sh $(WEBBUILD) $(BUILD)

clean:
	rm -rf build build-asan build-tsan build-fuzz build-windows build-web
