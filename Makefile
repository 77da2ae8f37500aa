# DORVE build entry points.
#   make           build build/dorve (optimised, with debug info)
#   make run       build and run the bundled example session, then the example
#                  study from scratch (examples/study.cmd)
#   make test      build and run every test (unit and transcript) through CTest
#   make sanitize  the same under AddressSanitizer and UndefinedBehaviorSanitizer
#   make install   build and install build/dorve and the manual page dorve.1 under
#                  PREFIX (default /usr/local); DESTDIR is honoured:
#                  make install PREFIX=~/.local   make install DESTDIR=/tmp/stage
#   make bench     build and run the benchmarks, then the predictions beside
#                  scikit-learn's (bench/peers/predict_peers.py)
#   make bench-peers  build dorve and compare its Fit with OpenTURNS and scikit-learn
#                  (bench/peers/fit_peers.sh; minutes of CPU, never run by the tests):
#                  make bench-peers BENCH_PEERS_ARGS="--sets borehole_n80"
#                  then its Minimize with their optimisation loops (make bench-ego)
#   make bench-ego  only the Minimize comparison (bench/peers/ego_peers.sh; hours of
#                  CPU the first time, then only what is missing or stale):
#                  make bench-ego BENCH_EGO_ARGS="--functions branin --seeds 1"
#   make fuzz      build the libFuzzer targets (clang) and run each for
#                  FUZZ_SECONDS seconds (default 60): make fuzz FUZZ_SECONDS=30

BUILD      := build
SAN_BUILD  := build-sanitize
BENCH_BUILD := build-bench
FUZZ_BUILD := build-fuzz
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=RelWithDebInfo
PREFIX     ?= /usr/local

.PHONY: all run install test sanitize bench bench-peers bench-ego fuzz clean build-deps test-deps bench-deps fuzz-deps

all: build-deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target dorve branin branin_constrained hartmann6

run: all
	cd examples && ../$(BUILD)/dorve session.cmd && ../$(BUILD)/dorve study.cmd

install: all
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# Installs a missing Debian package when run as root, or names it and stops.
define need_package
	@if ! dpkg -s $(1) >/dev/null 2>&1 && [ ! -e $(2) ]; then \
	  if [ "$$(id -u)" = 0 ] && command -v apt-get >/dev/null; then \
	    echo "Installing $(1) ..."; \
	    (apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $(1)) >/dev/null || exit 1; \
	  else \
	    echo "Missing dependency: install the Debian package $(1) (apt-get install $(1))"; exit 1; \
	  fi; \
	fi
endef

# OpenBLAS (with its LAPACK) is linked into the program, in its serial build.
build-deps:
	$(call need_package,libopenblas-dev,/usr/lib/x86_64-linux-gnu/libopenblas.so)
	$(call need_package,libopenblas-serial-dev,/usr/lib/x86_64-linux-gnu/openblas-serial/libopenblas.so)

test-deps: build-deps
	$(call need_package,libgtest-dev,/usr/include/gtest/gtest.h)

# scikit-learn is the yardstick of the prediction benchmark.
bench-deps: build-deps
	$(call need_package,libbenchmark-dev,/usr/include/benchmark/benchmark.h)
	$(call need_package,python3-sklearn,/usr/lib/python3/dist-packages/sklearn/__init__.py)

fuzz-deps: build-deps
	$(call need_package,clang,/usr/bin/clang++)
	$(call need_package,libclang-rt-dev,$(firstword $(wildcard /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a) /nonexistent))

test: test-deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

sanitize: test-deps
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DDORVE_SANITIZE=ON >/dev/null
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

bench: bench-deps
	cmake -S . -B $(BENCH_BUILD) $(CMAKE_FLAGS) -DDORVE_BENCH=ON -DDORVE_TESTS=OFF >/dev/null
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	@for b in $(BENCH_BUILD)/bench/*_bench; do \
	  [ "$${b##*/}" = predict_bench ] || OPENBLAS_NUM_THREADS=1 "$$b" || exit 1; \
	done
	/usr/bin/python3 bench/peers/predict_peers.py --bench $(BENCH_BUILD)/bench/predict_bench \
	  --out $(BENCH_BUILD)/predict

bench-peers: all
	bash bench/peers/fit_peers.sh --dorve $(BUILD)/dorve $(BENCH_PEERS_ARGS)
	bash bench/peers/ego_peers.sh --dorve $(BUILD)/dorve $(BENCH_EGO_ARGS)

bench-ego: all
	bash bench/peers/ego_peers.sh --dorve $(BUILD)/dorve $(BENCH_EGO_ARGS)

# Each target runs in turn from its seed corpus in tests/fuzz/corpus; new
# units and findings stay in $(FUZZ_BUILD).
fuzz: fuzz-deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DDORVE_FUZZ=ON -DDORVE_TESTS=OFF >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target tokenizer_fuzz matrix_fuzz session_fuzz
	bash tests/fuzz/run_fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD)
