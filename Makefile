# The two commands of the README, and a few more. Everything builds through CMake.
BUILD ?= build
JOBS ?= 2
ARGS ?=

.PHONY: test run gui deps native windows fuzz dist install clean

test: deps
	BUILD=$(BUILD) JOBS=$(JOBS) tools/test-all.sh

deps:
	tools/install-deps.sh

native: deps
	cmake -S . -B $(BUILD)/native >/dev/null && cmake --build $(BUILD)/native -j $(JOBS)

windows: deps
	cmake -S . -B $(BUILD)/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	  -DCMAKE_BUILD_TYPE=Release >/dev/null && cmake --build $(BUILD)/windows -j $(JOBS)

# The release files in dist/: the Windows zip, the Debian package of
# vintrell-find, SHA256SUMS; byte for byte the same from any clean build of a commit.
dist: deps
	BUILD=$(BUILD) JOBS=$(JOBS) tools/make-dist.sh

# vintrell-find and its manual page under PREFIX (DESTDIR=... stages it elsewhere).
PREFIX ?= /usr/local
install: native
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD)/native --prefix "$(PREFIX)" --strip

# vintrell-find on the sample folder; ARGS replace the default search ("smith").
run:
	@BUILD=$(BUILD) JOBS=$(JOBS) tools/run-sample.sh $(ARGS)

# vintrell.exe under Wine on a copy of examples/mail/ with the program inside it;
# on your display, or on a private Xvfb (its number is printed) when there is none.
gui: deps
	cmake -S . -B $(BUILD)/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	  -DCMAKE_BUILD_TYPE=Release >/dev/null && cmake --build $(BUILD)/windows -j $(JOBS) --target vintrell
	VINTRELL_DISPLAY="$${VINTRELL_DISPLAY:-$${DISPLAY:-}}" tools/with-wine.sh $(BUILD)/wineprefix \
	  src/app/run_gui.sh $(BUILD)/windows/src/app/vintrell.exe examples/mail $(BUILD)/gui

# Every libFuzzer target (clang) for FUZZ_SECONDS each, one after another, from
# the committed corpus; new inputs and any crash go to $(BUILD)/fuzz-runs/NAME/.
# FUZZ_TARGETS="scan_fuzz" picks some; FUZZ_NICE=19 yields to other work.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=
FUZZ_NICE ?= 0
fuzz: deps
	cmake -S . -B $(BUILD)/fuzz -DVINTRELL_FUZZ=ON -DCMAKE_C_COMPILER=clang \
	  -DCMAKE_CXX_COMPILER=clang++ >/dev/null && cmake --build $(BUILD)/fuzz -j $(JOBS) --target fuzzers
	@set -e; targets="$(FUZZ_TARGETS)"; \
	[ -n "$$targets" ] || targets=$$(cd $(BUILD)/fuzz && ls *_fuzz); \
	for t in $$targets; do \
	  [ -x $(BUILD)/fuzz/$$t ] || { echo "fuzz: no target $$t"; exit 1; }; \
	  mkdir -p $(BUILD)/fuzz-runs/$$t; \
	  seeds=; [ ! -d fuzz/corpus/$$t ] || seeds=fuzz/corpus/$$t; \
	  echo "fuzz: $$t for $(FUZZ_SECONDS) s"; \
	  nice -n $(FUZZ_NICE) $(BUILD)/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=$(BUILD)/fuzz-runs/$$t/crash- $(BUILD)/fuzz-runs/$$t $$seeds \
	    2>$(BUILD)/fuzz-runs/$$t/log || { tail -n 40 $(BUILD)/fuzz-runs/$$t/log; exit 1; }; \
	  grep -E '^(Done|stat::number_of_executed_units)' $(BUILD)/fuzz-runs/$$t/log; \
	done

clean:
	rm -rf $(BUILD) dist
