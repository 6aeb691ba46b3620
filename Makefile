# Ulmaro — build entry points.
#   make run    install what is missing, build, and run lu (ARGS="search foo" picks the command)
#   make test   install what is missing, then build and run every test twice:
#               optimised, and under AddressSanitizer + UndefinedBehaviorSanitizer
JOBS    ?= $(shell nproc)
RELEASE := build/release
ASAN    := build/asan
CMAKE   := cmake -G Ninja -Wno-dev
ARGS    ?= demo

.PHONY: all deps release asan test test-release test-asan run bench format clean

all: release

deps:
	@scripts/install-deps

release: deps
	@$(CMAKE) -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DULMARO_WERROR=ON >/dev/null
	@cmake --build $(RELEASE) -j $(JOBS)

asan: deps
	@$(CMAKE) -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DULMARO_WERROR=ON \
		-DULMARO_SANITIZE=ON -DULMARO_BENCH=OFF >/dev/null
	@cmake --build $(ASAN) -j $(JOBS)

test-release: release
	@cd $(RELEASE) && ctest --output-on-failure -j $(JOBS)

test-asan: asan
	@cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS)

test: test-release test-asan

run: release
	@scripts/run-demo $(RELEASE) $(ARGS)

bench: release
	@for b in $(RELEASE)/bench/bench_*; do echo "== $$b"; $$b; done

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
