# libFuzzer harnesses (fuzz/), built with clang in build/fuzz with ASan and UBSan.
#   make fuzz FUZZ_SECONDS=600   runs every harness that long, one after the other
#   make test                    replays each seed corpus and fuzzes each harness briefly
# New inputs go to build/fuzz/corpus/<harness>; the seeds in fuzz/corpus/<harness> are
# only read. A crash leaves its input in build/fuzz/artifacts/.
DEPS_LISTS += fuzz
TEST_STEPS += test-fuzz
BUILD_STEPS += fuzz-build

FUZZ_SECONDS ?= 60
FUZZ_SMOKE_SECONDS ?= 4
FUZZ_TARGETS := fuzz_answer fuzz_image fuzz_ini
FUZZ_BUILD := build/fuzz
FUZZ_FLAGS := -O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
# Scratch files in memory where there is a tmpfs: the settings harness writes its file
# many times a run, and every write is flushed to disk.
FUZZ_ENV := $(if $(wildcard /dev/shm),TMPDIR=/dev/shm) ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Per input: at most 10 s, 1 GiB; a single input may not be longer than 64 KiB.
FUZZ_ARGS := -timeout=10 -rss_limit_mb=1024 -max_len=65536 -print_final_stats=1

.PHONY: fuzz fuzz-build

fuzz-build: deps
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE= \
	  "-DCMAKE_CXX_FLAGS=$(FUZZ_FLAGS)" -DKX_FUZZ=ON -DKX_BUILD_GUI=OFF -DKX_BUILD_TESTS=OFF -DKX_WERROR=OFF
	$(TIMED) $@ cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(FUZZ_TARGETS)

# $(1): harness, $(2): seconds
define fuzz_run
	mkdir -p $(FUZZ_BUILD)/corpus/$(1) $(FUZZ_BUILD)/artifacts
	env $(FUZZ_ENV) $(FUZZ_BUILD)/fuzz/$(1) $(FUZZ_ARGS) -max_total_time=$(2) \
	  -artifact_prefix=$(FUZZ_BUILD)/artifacts/$(1)- $(FUZZ_BUILD)/corpus/$(1) fuzz/corpus/$(1)

endef

fuzz: fuzz-build
	$(foreach t,$(FUZZ_TARGETS),$(call fuzz_run,$(t),$(FUZZ_SECONDS)))

test-fuzz: fuzz-build
	$(TIMED) $@ $(MAKE) --no-print-directory fuzz-smoke

.PHONY: fuzz-smoke
fuzz-smoke:
	$(foreach t,$(FUZZ_TARGETS),$(call fuzz_run,$(t),$(FUZZ_SMOKE_SECONDS)))
