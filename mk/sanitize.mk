# The whole test suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer
# (the `sanitize` preset, build/sanitize). Any report fails the step: UBSan does not
# recover, LeakSanitizer runs at exit of every test program. Qt tests run headless.
TEST_STEPS += test-sanitize
BUILD_STEPS += sanitize-build

SANITIZE_ENV := \
  ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:abort_on_error=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/sanitize/lsan.supp:print_suppressions=0 \
  QT_QPA_PLATFORM=offscreen

.PHONY: sanitize-build

sanitize-build: deps
	cmake --preset sanitize
	$(TIMED) $@ cmake --build --preset sanitize -j $(JOBS)

test-sanitize: sanitize-build
	$(TIMED) $@ env $(SANITIZE_ENV) ctest --preset sanitize -j $(JOBS)
