# The two commands of the README, and a few more. Everything builds through CMake.
BUILD ?= build
JOBS ?= 2
ARGS ?=

.PHONY: test run gui deps native windows fuzz clean

test: deps
	BUILD=$(BUILD) JOBS=$(JOBS) tools/test-all.sh

deps:
	tools/install-deps.sh

native: deps
	cmake -S . -B $(BUILD)/native >/dev/null && cmake --build $(BUILD)/native -j $(JOBS)

windows: deps
	cmake -S . -B $(BUILD)/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	  -DCMAKE_BUILD_TYPE=Release >/dev/null && cmake --build $(BUILD)/windows -j $(JOBS)

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

clean:
	rm -rf $(BUILD)
