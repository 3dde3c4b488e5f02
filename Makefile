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

run:
	@echo "make run comes with the search; see README.md"

clean:
	rm -rf $(BUILD)
