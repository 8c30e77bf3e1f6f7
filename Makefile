# The two commands a new user types: `make run` and `make test`.
# Everything else here is what those two need, plus the sanitizer runs.

JOBS ?= $(shell nproc)
CTEST_JOBS ?= 2

.PHONY: deps build run test test-asan test-tsan build-asan build-tsan clean format tidy

deps:
	./scripts/install-deps.sh

build/build.ninja: CMakeLists.txt CMakePresets.json
	cmake --preset default

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

run: build
	./tools/demo/run-demo.sh

test: build
	ctest --preset default -j $(CTEST_JOBS)

build-asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)

test-asan: build-asan
	ctest --preset asan -j $(CTEST_JOBS)

build-tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS)

test-tsan: build-tsan
	ctest --preset tsan -j $(CTEST_JOBS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

tidy: build
	git ls-files '*.cpp' | grep -v '^tests/' | xargs clang-tidy -p build --quiet

clean:
	rm -rf build build-asan build-tsan
