# Entry points: `make demo` and `make test`. Both install what is missing first.
# Each area adds its own steps in mk/*.mk: its test step to TEST_STEPS, the target that
# builds its tree to BUILD_STEPS, its package lists to DEPS_LISTS.

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
DEPS_LISTS := core
TEST_STEPS := test-default
BUILD_STEPS := build
# ccache (where the build finds it): paths below this folder are hashed as relative ones,
# so another clone of the same sources hits the same cache entries.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
# Each step's wall and CPU time, one line a step in build/step-times.txt.
TIMED := scripts/timed

-include mk/*.mk

# `make test` builds the trees one after another, each with every core, and runs each
# step's tests as soon as its tree is built, beside the builds that follow: the tests
# mostly wait (on ptys, on Wine, on fixed fuzzing times), the builds keep the cores busy.
# The trees with the longest test runs are built first.
BUILD_ORDER := build windows-build sanitize-build tsan-build package-build fuzz-build
TEST_LANES ?= 3
ifdef KX_BUILD_CHAIN
chain = $(if $(word 2,$(1)),$(eval $(word 2,$(1)): | $(word 1,$(1)))$(call chain,$(wordlist 2,$(words $(1)),$(1))))
$(call chain,$(filter $(BUILD_STEPS),$(BUILD_ORDER)) $(filter-out $(BUILD_ORDER),$(BUILD_STEPS)))
endif

.PHONY: all deps configure build test test-default clean $(TEST_STEPS) $(BUILD_STEPS)

all: build

deps:
	@scripts/install-deps $(DEPS_LISTS)

configure: deps
	cmake --preset default

build: configure
	$(TIMED) $@ cmake --build --preset default -j $(JOBS)

test-default: build
	scripts/check-layers
	$(TIMED) $@ ctest --preset default -j $(JOBS)

# Each step's output comes whole when the step ends (-O), not interleaved with the others;
# a failed step stops neither the others nor the builds they wait for (-k).
test:
	@rm -f build/step-times.txt
	@status=0; $(MAKE) --no-print-directory -k -j $(TEST_LANES) -O KX_BUILD_CHAIN=1 $(TEST_STEPS) || status=$$?; \
	  echo "make test: time of each step (wall; CPU = user + system of what it waited for):"; \
	  cat build/step-times.txt 2>/dev/null; \
	  [ $$status -eq 0 ] && echo "make test: every step passed ($(TEST_STEPS))"; exit $$status

clean:
	rm -rf build
