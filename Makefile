# Entry points; the build trees under build/ are reused between runs.
#   make demo [DEMO_ARGS=...]   scripts/demo: Orvex.exe with the module (coordtable until then)
#   make test                   bootstrap, then build + ctest native and win32 (Wine)
#   make bench                  build and run core_bench (Release)
#   make bench-window           build window_bench (win32, Release) and run it under Wine + Xvfb
#   make fuzz [FUZZ_SECONDS=60] run each libFuzzer target for FUZZ_SECONDS
#   make clean                  remove build/
SHELL := /bin/bash
.SHELLFLAGS := -euo pipefail -c
.DEFAULT_GOAL := test

DEMO_ARGS ?=
FUZZ_SECONDS ?= 60
BENCH_ARGS ?=

.PHONY: demo test bootstrap native win32 bench bench-window fuzz clean

demo:
	scripts/demo $(DEMO_ARGS)

bootstrap:
	scripts/bootstrap

# Builds both trees first, then runs both test suites even if the first one
# fails, prints both CTest summaries and fails if either failed.
test: bootstrap
	cmake --preset native
	cmake --build --preset native
	cmake --preset win32
	cmake --build --preset win32
	@mkdir -p build; status=0; \
	for t in native win32; do \
	  echo "==== ctest: $$t"; \
	  runner=(); [[ $$t == win32 ]] && runner=(scripts/with-xvfb); \
	  "$${runner[@]}" ctest --preset $$t 2>&1 | tee build/ctest-$$t.log || status=1; \
	done; \
	echo "==== summary"; passed=0; failed=0; \
	for t in native win32; do \
	  line=$$(grep -E '^[0-9]+% tests passed' build/ctest-$$t.log || echo "no CTest summary (see build/ctest-$$t.log)"); \
	  echo "$$t: $$line"; \
	  if [[ $$line =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then \
	    failed=$$((failed + BASH_REMATCH[1])); passed=$$((passed + BASH_REMATCH[2] - BASH_REMATCH[1])); \
	  else status=1; fi; \
	done; \
	echo "ctest: $$passed passed, $$failed failed"; \
	exit $$status

# One tree only: make native / make win32
native win32: bootstrap
	cmake --preset $@
	cmake --build --preset $@
	ctest --preset $@

bench:
	cmake --preset bench
	cmake --build --preset bench
	@if [[ -x build/bench/bench/core_bench ]]; then \
	  build/bench/bench/core_bench $(BENCH_ARGS); \
	else echo "bench: no benchmarks yet (bench/*.cpp)"; fi

# The editor window on the Host stand-in; fails when a check or a target of the bench fails.
BENCH_WINDOW_DIR := build/bench-win32
bench-window:
	cmake --preset win32 -B $(BENCH_WINDOW_DIR) -DCMAKE_BUILD_TYPE=Release -DPOLYPAD_TESTS=OFF -DPOLYPAD_BENCH=ON
	cmake --build $(BENCH_WINDOW_DIR) -j2 --target window_bench
	scripts/with-xvfb scripts/wine-run --prefix $(BENCH_WINDOW_DIR)/wineprefix $(BENCH_WINDOW_DIR)/bench/window_bench.exe

# Runs every target even if one fails; crash inputs go to build/fuzz/artifacts/NAME/.
fuzz:
	cmake --preset fuzz
	cmake --build --preset fuzz
	@n=0; failed=(); while read -r name exe; do \
	  [[ -n $$name ]] || continue; n=$$((n + 1)); \
	  corpus=build/fuzz/corpus/$$name; artifacts=build/fuzz/artifacts/$$name; \
	  mkdir -p $$corpus $$artifacts; \
	  seeds=(); [[ -d fuzz/seeds/$$name ]] && seeds=(fuzz/seeds/$$name); \
	  echo "==== fuzz $$name for $(FUZZ_SECONDS) s"; \
	  $$exe -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 -artifact_prefix=$$artifacts/ \
	    $$corpus $${seeds[@]+"$${seeds[@]}"} </dev/null || failed+=($$name); \
	done < build/fuzz/fuzz-targets.txt; \
	echo "fuzz: ran $$n target(s), $${#failed[@]} failed$${failed[@]+: $${failed[*]}}"; \
	[[ $${#failed[@]} -eq 0 ]]

clean:
	rm -rf build
