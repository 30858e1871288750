# ThreadSanitizer on what runs several links in one process: the concurrent loads of the
# pty tests (two links on two threads) and kxboot-cli loading several ports at once,
# among them ports that do not open. Built in build/tsan (the `tsan` preset: Debug, no Qt),
# only what those tests run; the kxboot-cli and kxboot-sim they start are that tree's
# too. The first report ends the process with a non-zero status, which fails its test.
# io_sync=0: no ordering is inferred from file descriptors (a number one thread closes and
# another then gets from open), which would hide races between links that open their
# ports at nearly the same moment; the threads here never synchronise through I/O.
TEST_STEPS += test-tsan
BUILD_STEPS += tsan-build

TSAN_TARGETS := pty_tests cli_tests kxboot-cli kxboot-sim
TSAN_TESTS := ^(ConcurrentLoads|SeveralPortsTest|Ports/StoredPortTest)\.
TSAN_ENV := TSAN_OPTIONS=halt_on_error=1:exitcode=66:io_sync=0:second_deadlock_stack=1

.PHONY: tsan-build

tsan-build: deps
	cmake --preset tsan
	$(TIMED) $@ cmake --build --preset tsan -j $(JOBS) --target $(TSAN_TARGETS)

# One test at a time: each starts kxboot-cli and simulators several times slower than
# usual, and two at once on a busy machine would press on the link's answer time-outs.
test-tsan: tsan-build
	$(TIMED) $@ env $(TSAN_ENV) ctest --preset tsan -R '$(TSAN_TESTS)' -j 1
