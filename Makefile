# Entry points: `make demo` and `make test`. Both install what is missing first.
# Each area adds its own steps in mk/*.mk (appending to TEST_STEPS, DEPS_LISTS).

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
DEPS_LISTS := core
TEST_STEPS := test-default

-include mk/*.mk

.PHONY: all deps configure build test test-default clean $(TEST_STEPS)

all: build

deps:
	@scripts/install-deps $(DEPS_LISTS)

configure: deps
	cmake --preset default

build: configure
	cmake --build --preset default -j $(JOBS)

test-default: build
	scripts/check-layers
	ctest --preset default -j $(JOBS)

test: $(TEST_STEPS)
	@echo "make test: every step passed ($(TEST_STEPS))"

clean:
	rm -rf build
