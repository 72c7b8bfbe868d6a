# Entry points for a fresh machine:
#   make demo   installs what is missing, builds, and runs the demo into ./out
#   make test   installs what is missing, builds, and runs the whole test suite
BUILD ?= build
JOBS ?= 2
BUILD_TYPE ?= RelWithDebInfo

.PHONY: all deps configure build test demo clean

all: build

deps:
	bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure

demo: build
	./$(BUILD)/tools/kmbrep demo --out out

clean:
	rm -rf $(BUILD) build-asan build-tsan out
