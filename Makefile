# The two commands a newcomer needs are `make demo` and `make test`; the rest are for developers.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
CTEST = ctest --output-on-failure --no-tests=error -j$(JOBS)

.PHONY: all deps build demo test test-sanitize test-thread bench fuzz clean

all: build

deps:
	@bash scripts/install-deps.sh

build/build.ninja: | deps
	cmake -S . -B build -G Ninja $(CMAKE_FLAGS)

build: deps build/build.ninja
	cmake --build build -j$(JOBS)

demo: build
	@bash scripts/demo.sh build

test: build
	cd build && $(CTEST)

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer, in its own folder.
test-sanitize: deps
	cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPELLIX_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build build-sanitize -j$(JOBS)
	cd build-sanitize && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 $(CTEST)

# The threaded parts (queues, cross-thread sends, timers, the bubble thread) under ThreadSanitizer.
test-thread: deps
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPELLIX_TSAN=ON $(CMAKE_FLAGS)
	cmake --build build-tsan -j$(JOBS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/scripts/tsan.supp \
	  ctest --output-on-failure --no-tests=ignore -j$(JOBS) -R 'Thread|Queue|Send|Timer|Sync|Concurren|ProcessMessage|KeepAwake|Bubble|Notification|SmsForms|Phone|Inbox|ConsoleServer|FrameSource|WaveOutput|SoftKeyBar|Preview'

bench: deps
	cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build build-release -j$(JOBS) --target pellix_bench linkifier_compare
	build-release/bench/pellix_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
	@bash bench/peer/install-peer.sh build-release/bench/peer
	build-release/bench/linkifier_compare --peer build-release/bench/peer

# Each fuzz target for FUZZ_SECONDS (default 30) from its seed corpus, with the options in
# fuzz/NAME.options (time and memory limits that make slowness and bloat count as failures).
FUZZ_SECONDS ?= 30
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLIX_FUZZ=ON
	cmake --build build-fuzz -j$(JOBS)
	@for f in build-fuzz/fuzz/*_fuzz; do \
	  name=$$(basename $$f); corpus=fuzz/corpus/$${name%_fuzz}; mkdir -p /tmp/pellix-$$name; \
	  echo "== $$name"; $$f -max_total_time=$(FUZZ_SECONDS) $$(cat fuzz/$$name.options 2>/dev/null) \
	    /tmp/pellix-$$name $$( [ -d $$corpus ] && echo $$corpus ) || exit 1; \
	done

clean:
	rm -rf build build-sanitize build-tsan build-release build-fuzz
