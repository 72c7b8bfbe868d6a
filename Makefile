# Entry points for a fresh machine:
#   make demo   installs what is missing, builds the tool alone, and runs the
#               demo into ./out (out/demo.html is the 3D page)
#   make picture  the demo's picture, copied to docs/demo.svg for the README
#   make test   installs what is missing, builds, and runs the whole test suite
#   make bench  installs what is missing, builds the benchmarks in release
#               mode (in build-bench) and prints the table of performance figures
BUILD ?= build
JOBS ?= 2
BUILD_TYPE ?= RelWithDebInfo

.PHONY: all deps configure build test demo picture bench clean

all: build

deps:
	bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure

demo: configure
	cmake --build $(BUILD) -j$(JOBS) --target kmbrep
	./$(BUILD)/tools/kmbrep demo --out out

picture: demo
	cp out/demo.svg docs/demo.svg

# The peer table needs OpenSceneGraph and Assimp: only the bench installs them.
bench: deps
	bash scripts/install-deps.sh libopenscenegraph-dev libassimp-dev
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DMV_BUILD_BENCH=ON -DMV_BUILD_TESTS=OFF
	cmake --build build-bench -j$(JOBS) --target mv_bench mv_bench_model mv_peers kmbrep
	nice -n 10 python3 bench/run_bench.py build-bench

clean:
	rm -rf $(BUILD) build-asan build-tsan build-bench out
