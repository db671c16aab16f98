# The two commands of the README. Both install what a fresh Debian 12 machine lacks, then build.
#   make run   - build and open Marquelo on samples/
#   make test  - build and run the whole test suite (widget tests on Qt's offscreen platform)
# Other targets: make build, make sanitize-asan, make sanitize-tsan, make fuzz, make bench, make format.

BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# Extra ctest arguments, e.g. CTEST_ARGS='-R test_core' to run some of the suite.
CTEST_ARGS ?=

# Debian packages the build, the tests and the benchmarks need.
DEBS := cmake ninja-build g++ pkg-config ccache python3 \
	qt6-base-dev qt6-svg-dev libgl-dev \
	libvips-dev libvips-tools libturbojpeg0-dev libjpeg62-turbo-dev libjpeg-turbo-progs libsodium-dev \
	libgtest-dev libgmock-dev libbenchmark-dev \
	xvfb xauth xdotool x11-apps imagemagick tidy chromium \
	libexiv2-dev \
	desktop-file-utils appstream dpkg-dev lintian file \
	clang libclang-rt-14-dev

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps build run test sanitize-asan sanitize-tsan fuzz bench format clean package package-check

deps:
	@missing=$$(for p in $(DEBS); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing: $$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/src/marquelo "$(CURDIR)/samples"

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

# The whole suite again under AddressSanitizer+UBSan, and under ThreadSanitizer (loaders share state with the GUI).
sanitize-asan:
	$(MAKE) test BUILD=build-asan CMAKE_FLAGS="$(CMAKE_FLAGS) -DMARQUELO_ASAN=ON -DMARQUELO_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug"

sanitize-tsan:
	TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp $$TSAN_OPTIONS" \
	$(MAKE) test BUILD=build-tsan CMAKE_FLAGS="$(CMAKE_FLAGS) -DMARQUELO_TSAN=ON -DMARQUELO_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug"

# The libFuzzer targets (clang, ASan+UBSan) in their own build, each run FUZZ_SECONDS on its corpus.
FUZZ_SECONDS ?= 60
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja $(CMAKE_FLAGS) -DMARQUELO_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build-fuzz -j $(JOBS) --target fuzzers
	tests/fuzz/run-fuzzers.sh $(FUZZ_SECONDS) build-fuzz

bench: build
	QT_QPA_PLATFORM=offscreen bench/run-all.sh $(BUILD)

# The Debian package (build/marquelo_*.deb), and a check that unpacks it and runs what it installed.
package: build
	cd $(BUILD) && cpack -G DEB

package-check: build
	tools/check-package.sh $(BUILD)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan build-tsan build-fuzz
