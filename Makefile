# vardek: the two commands a user needs are `make run` and `make test`.
# Every target installs missing Debian packages first (scripts/install-deps.sh).

BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build test test-windows test-asan test-tsan fuzz bench run clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD_DIR) -j$(JOBS)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j$(JOBS)
	JOBS=$(JOBS) scripts/test-windows.sh
	JOBS=$(JOBS) scripts/test-asan.sh
	JOBS=$(JOBS) scripts/test-tsan.sh
	JOBS=$(JOBS) scripts/fuzz.sh 60

# The whole suite under ASan+UBSan (build-asan); the concurrency test under
# ThreadSanitizer (build-tsan); each fuzz target for FUZZ_SECONDS (build-fuzz).
FUZZ_SECONDS ?= 300
test-asan: deps
	JOBS=$(JOBS) scripts/test-asan.sh
test-tsan: deps
	JOBS=$(JOBS) scripts/test-tsan.sh
fuzz: deps
	JOBS=$(JOBS) scripts/fuzz.sh $(FUZZ_SECONDS)

# vardek.dll (x86-64 and i686) cross-built with mingw-w64, suites run under wine.
test-windows:
	JOBS=$(JOBS) scripts/test-windows.sh

run: build
	$(BUILD_DIR)/bin/vardek info $(BUILD_DIR)/demo.tak
	$(BUILD_DIR)/bin/vardek decode $(BUILD_DIR)/demo.tak -o $(BUILD_DIR)/demo.wav

# Release build in build-bench; prints one table of figures (see bench/).
bench: deps
	@scripts/bench.sh

clean:
	rm -rf $(BUILD_DIR) build-win64 build-win32 build-asan build-tsan build-fuzz
