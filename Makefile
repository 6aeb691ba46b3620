# Ulmaro — build entry points.
#   make run    install what is missing, build, and start the application (without an X
#               display: the lu demo); ARGS="search foo" runs that lu command instead
#   make test   install what is missing, then build and run every test twice:
#               optimised, and under AddressSanitizer + UndefinedBehaviorSanitizer
#               (each fuzz target's corpus and crashes are replayed there too)
#   make install  (PREFIX=/usr/local, DESTDIR honoured) ulmaro, its application module, lu,
#               the PDF module, the menu entry, the icon and the symbols' licence; make
#               uninstall removes them
#   make fuzz   build the fuzz targets with clang (libFuzzer, ASan, UBSan) in build/fuzz and run
#               each for FUZZ_SECONDS; crashes land in fuzz/<target>/crashes/
JOBS    ?= $(shell nproc)
# ccache keys on paths relative to the checkout, so a fresh clone reuses earlier builds.
export CCACHE_BASEDIR ?= $(CURDIR)
RELEASE := build/release
ASAN    := build/asan
FUZZ    := build/fuzz
CMAKE   := cmake -G Ninja -Wno-dev
ARGS    ?=
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := $(patsubst fuzz/%/Target.cpp,%,$(wildcard fuzz/*/Target.cpp))

PREFIX  ?= /usr/local
CONFIGURE_RELEASE := $(CMAKE) -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DULMARO_WERROR=ON \
	>/dev/null

.PHONY: all deps release programs asan test test-release test-asan fuzz run bench format clean \
	install uninstall

all: release

deps:
	@scripts/install-deps

release: deps
	@$(CONFIGURE_RELEASE)
	@cmake --build $(RELEASE) -j $(JOBS)

# Only what runs and installs: the two programs, the application module and the PDF module.
programs: deps
	@$(CONFIGURE_RELEASE)
	@cmake --build $(RELEASE) -j $(JOBS) --target ulmaro UlmaroAppMain lu UlmaroKitPdf

# -O1 and line tables only: what the sanitizers need for their checks and their reports,
# at about half the compile time of -O2 -g.
ASAN_FLAGS := -O1 -g1 -DNDEBUG
asan: deps
	@$(CMAKE) -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DULMARO_WERROR=ON \
		-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$(ASAN_FLAGS)" \
		-DCMAKE_C_FLAGS_RELWITHDEBINFO="$(ASAN_FLAGS)" \
		-DULMARO_SANITIZE=ON -DULMARO_BENCH=OFF >/dev/null
	@cmake --build $(ASAN) -j $(JOBS)

# The window-manager tests run last, alone: their timing rides on a real X server and window
# manager, so a busy machine gets one more try at each before it counts as a failure.
X11_CTEST = ctest --output-on-failure -L x11 --repeat until-pass:2

test-release: release
	@cd $(RELEASE) && ctest --output-on-failure -j $(JOBS) -LE x11 && $(X11_CTEST)

test-asan: asan
	@cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		sh -c 'ctest --output-on-failure -j $(JOBS) -LE x11 && $(X11_CTEST)'

test: test-release test-asan

# New inputs go to build/fuzz/corpus/<target>; the committed seeds are read, never grown.
# Scratch files go to RAM where there is some: the targets write files thousands of times a second.
fuzz: deps
	@$(CMAKE) -S . -B $(FUZZ) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DULMARO_FUZZ=ON -DULMARO_TESTS=OFF \
		-DULMARO_BENCH=OFF -DULMARO_WERROR=OFF >/dev/null
	@cmake --build $(FUZZ) -j $(JOBS) --target fuzzers
	@failed=""; for t in $(FUZZ_TARGETS); do \
		echo "== fuzz_$$t for $(FUZZ_SECONDS) s"; \
		mkdir -p $(FUZZ)/corpus/$$t fuzz/$$t/crashes; \
		dict=""; [ -f fuzz/$$t/$$t.dict ] && dict="-dict=fuzz/$$t/$$t.dict"; \
		TMPDIR=$$( [ -d /dev/shm ] && echo /dev/shm || echo /tmp ) \
		$(FUZZ)/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -max_len=16384 -print_final_stats=1 \
			$$dict -artifact_prefix=fuzz/$$t/crashes/ $(FUZZ)/corpus/$$t fuzz/$$t/corpus \
			|| failed="$$failed $$t"; \
	done; \
	if [ -n "$$failed" ]; then echo "fuzz: crashes in$$failed (see fuzz/<target>/crashes/)"; exit 1; fi

run: programs
	@scripts/run-app $(RELEASE) $(ARGS)

# DESTDIR is honoured by cmake --install. Every install adds its files, DESTDIR included, to
# $(INSTALLED); uninstall removes those, then the folders of our own that are left empty.
INSTALLED := $(RELEASE)/installed-files.txt
install: programs
	@DESTDIR="$(DESTDIR)" cmake --install $(RELEASE) --prefix "$(PREFIX)"
	@sed 's|^|$(DESTDIR)|' $(RELEASE)/install_manifest.txt | cat - $(wildcard $(INSTALLED)) \
		| sort -u > $(INSTALLED).new && mv $(INSTALLED).new $(INSTALLED)

uninstall:
	@if [ -s $(INSTALLED) ]; then \
		xargs -d '\n' rm -fv < $(INSTALLED); \
		sed -n 's|/[^/]*$$||p' $(INSTALLED) | grep '/ulmaro$$' | sort -u \
			| xargs -r -d '\n' rmdir -v --ignore-fail-on-non-empty; \
		rm -f $(INSTALLED); \
	else echo "uninstall: nothing installed from $(RELEASE)"; fi

bench: release
	@for b in $(RELEASE)/bench/bench_*; do echo "== $$b"; $$b; done

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
