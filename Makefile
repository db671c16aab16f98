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
	libheif-dev libde265-dev libdav1d-dev libexiv2-dev liblcms2-dev libxcb1-dev libxkbcommon-x11-dev \
	libgtest-dev libgmock-dev libbenchmark-dev \
	xvfb xauth xdotool x11-apps imagemagick tidy chromium default-jre-headless nodejs \
	openbox libxtst6 python3-numpy dbus-daemon \
	desktop-file-utils appstream dpkg-dev lintian file libimage-exiftool-perl \
	clang libclang-rt-14-dev rsync ffmpeg

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

# The checkers of generated pages (HTML checker, Lighthouse), from the npm registry into one folder below
# the build tree, shared by every build (sanitizer builds skip the page checks). Never committed.
NODE_TOOLS ?= $(CURDIR)/build/node-tools
NODE_PACKAGES := vnu-jar@26.10.12 lighthouse@12.2.3

.PHONY: deps node-tools build run test sanitize-asan sanitize-tsan fuzz bench format clean package package-check

deps:
	@missing=$$(for p in $(DEBS); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing: $$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi
	@# Debian's nodejs comes without npm; other node packagings bring their own.
	@command -v npm >/dev/null || { $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends npm; }

# The checker's own Java download is skipped (--ignore-scripts): Debian's Java runs it.
node-tools: deps
	@[ -x "$(NODE_TOOLS)/node_modules/.bin/lighthouse" ] && [ -f "$(NODE_TOOLS)/node_modules/vnu-jar/build/dist/vnu.jar" ] || \
	  npm install --prefix "$(NODE_TOOLS)" --no-audit --no-fund --ignore-scripts $(NODE_PACKAGES)

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/src/marquelo "$(CURDIR)/samples"

test: build node-tools
	cd $(BUILD) && MARQUELO_NODE_TOOLS="$(NODE_TOOLS)" QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

# The whole suite again under AddressSanitizer+UBSan, and under ThreadSanitizer (loaders share state with the GUI).
sanitize-asan:
	$(MAKE) test BUILD=build-asan CMAKE_FLAGS="$(CMAKE_FLAGS) -DMARQUELO_ASAN=ON -DMARQUELO_BENCH=OFF -DMARQUELO_TEST_CASES=OFF -DCMAKE_BUILD_TYPE=Debug"

# The system libraries (glib, libvips and the codecs below it) are not instrumented: what they do is
# invisible to the sanitizer except through the allocator and memcpy, which would then look unsynchronised.
# Qt starts children with a vfork-like clone whose child runs the sanitizer's hooks in the parent's memory
# and leaves it believing the parent itself was forked; the parent may go on starting threads.
sanitize-tsan:
	TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp ignore_noninstrumented_modules=1 die_after_fork=0 $$TSAN_OPTIONS" \
	$(MAKE) test BUILD=build-tsan CMAKE_FLAGS="$(CMAKE_FLAGS) -DMARQUELO_TSAN=ON -DMARQUELO_BENCH=OFF -DMARQUELO_TEST_CASES=OFF -DCMAKE_BUILD_TYPE=Debug"

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
