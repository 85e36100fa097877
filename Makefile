# Entry points; the build trees under build/ are reused between runs.
#   make demo [DEMO_ARGS=...]   bootstrap, then scripts/demo: Orvex.exe with the module
#   make test                   bootstrap, build native, win32 and win64, run native and the
#                               Windows suite this machine can run (win32, else win64)
#   make test-win32 / test-win64  one Windows suite explicitly
#   make dist                   bootstrap, build both Windows trees and gather the installer packages
#                               build/dist/Polypad-<version>-x86.msi and -x64.msi (with the debug
#                               information of each DLL beside them)
#   make bench                  build and run core_bench (Release)
#   make bench-window           build window_bench (Release, the bitness this machine runs) and
#                               run it under Wine + Xvfb
#   make fuzz [FUZZ_SECONDS=60] run each libFuzzer target for FUZZ_SECONDS
#   make clean                  remove build/
SHELL := /bin/bash
.SHELLFLAGS := -euo pipefail -c
.DEFAULT_GOAL := test

DEMO_ARGS ?=
FUZZ_SECONDS ?= 60
BENCH_ARGS ?=

.PHONY: demo dist test test-win32 test-win64 bootstrap native win32 win64 bench bench-window fuzz clean

# The first command on a fresh machine: installs what is missing first, as make test does.
demo: bootstrap
	scripts/demo $(DEMO_ARGS)

# Each tree's package target builds Polypad.dll, strips it and runs wixl (installer/); the
# packages of earlier versions are not carried over.
dist: bootstrap
	rm -rf build/dist build/win32/dist build/win64/dist
	cmake --preset win32
	cmake --build --preset win32 --target PolypadPackage
	cmake --preset win64
	cmake --build --preset win64 --target PolypadPackage
	mkdir -p build/dist
	cp build/win32/dist/* build/win64/dist/* build/dist/
	ls -l build/dist

bootstrap:
	scripts/bootstrap

# Builds every tree first (a compile error in either bitness fails the run), then runs the native
# tests and the Windows suite this machine can run: win32 where it executes 32-bit code, else
# win64 (scripts/run-suites prints which ran and why).
test: bootstrap
	cmake --preset native
	cmake --build --preset native
	cmake --preset win32
	cmake --build --preset win32
	cmake --preset win64
	cmake --build --preset win64
	scripts/run-suites auto

# One Windows suite explicitly; test-win32 fails where this machine cannot execute 32-bit code.
test-win32 test-win64: bootstrap
	cmake --preset $(@:test-%=%)
	cmake --build --preset $(@:test-%=%)
	scripts/run-suites $(@:test-%=%)

# One tree only: make native / make win32 / make win64; the Windows trees' tests run on a
# private display, as in make test.
native win32 win64: bootstrap
	cmake --preset $@
	cmake --build --preset $@
	$(if $(filter native,$@),,scripts/with-xvfb) ctest --preset $@

bench:
	cmake --preset bench
	cmake --build --preset bench
	@if [[ -x build/bench/bench/core_bench ]]; then \
	  build/bench/bench/core_bench $(BENCH_ARGS); \
	else echo "bench: no benchmarks yet (bench/*.cpp)"; fi

# The editor window on the Host stand-in, in the bitness this machine runs; fails when a check
# or a target of the bench fails.
bench-window:
	preset=$$(scripts/can-run-32bit >/dev/null && echo win32 || echo win64); \
	dir=build/bench-$$preset; \
	cmake --preset $$preset -B $$dir -DCMAKE_BUILD_TYPE=Release -DPOLYPAD_TESTS=OFF -DPOLYPAD_BENCH=ON; \
	cmake --build $$dir -j2 --target window_bench; \
	scripts/with-xvfb scripts/wine-run --prefix $$dir/wineprefix $$dir/bench/window_bench.exe

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
