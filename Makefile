# The two everyday commands: `make run` and `make test`.
RELEASE_DIR := build/release
TEST_DIR    := build/test
ASAN_DIR    := build/asan
CMAKE_GEN   := -G Ninja
# CI holds the project's own code to no warnings at all (in the tested build; the
# sanitizers' instrumentation makes the compiler guess at warnings of its own).
ifeq ($(CI),true)
WERROR := -DTRAWLIX_WERROR=ON
endif
# Tests wait on peers and sockets more than on the processor: two per core.
TEST_JOBS   ?= $(shell echo $$(( $$(nproc) * 2 )))

.PHONY: deps run demo build test asan package bench fuzz refdata screenshots clean

deps:
	./scripts/install-deps

build: deps
	cmake -S . -B $(RELEASE_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(RELEASE_DIR)

run: build
	./$(RELEASE_DIR)/trawlix

# The desktop program against the local site simulator, in a throw-away profile.
demo: build
	./scripts/demo $(RELEASE_DIR)

test: deps
	cmake -S . -B $(TEST_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRAWLIX_BUILD_TESTS=ON $(WERROR)
	cmake --build $(TEST_DIR)
	cd $(TEST_DIR) && ctest --output-on-failure -j$(TEST_JOBS)

# Core tests under AddressSanitizer and UndefinedBehaviorSanitizer (no windows).
asan: deps
	cmake -S . -B $(ASAN_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTRAWLIX_BUILD_TESTS=ON \
	      -DTRAWLIX_BUILD_UI=OFF -DTRAWLIX_SANITIZE=ON
	cmake --build $(ASAN_DIR)
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j$(TEST_JOBS)

# The Debian package (build/release/trawlix_<version>_<arch>.deb) from the Release build.
# CI packages the build it tested instead: PACKAGE_DIR=build/test PACKAGE_TYPE=RelWithDebInfo.
PACKAGE_DIR  ?= $(RELEASE_DIR)
PACKAGE_TYPE ?= Release
package: deps
	cmake -S . -B $(PACKAGE_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=$(PACKAGE_TYPE)
	cmake --build $(PACKAGE_DIR) --target package

bench: deps
	cmake -S . -B $(RELEASE_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DTRAWLIX_BUILD_BENCH=ON
	cmake --build $(RELEASE_DIR)
	for b in $(RELEASE_DIR)/bench_*; do echo "== $$b"; $$b; done
	echo "== bench/watch_bench.py"; python3 bench/watch_bench.py --cli $(RELEASE_DIR)/trawlix-cli

# libFuzzer targets (clang), with the core library instrumented too.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build/fuzz $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	      -DTRAWLIX_BUILD_UI=OFF -DTRAWLIX_BUILD_FUZZ=ON
	cmake --build build/fuzz

refdata:
	python3 tools/make_refdata.py

# The README's pictures of the main window and the preferences, drawn offscreen from sample results.
screenshots: deps
	cmake -S . -B $(TEST_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRAWLIX_BUILD_TESTS=ON
	cmake --build $(TEST_DIR) --target trawlix-screenshots
	QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 TRAWLIX_INSTALLED_DATA_DIR=$(CURDIR)/data \
	      ./$(TEST_DIR)/src/ui/trawlix-screenshots src/ui/resources/screenshots

clean:
	rm -rf build
