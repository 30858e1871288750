# The Windows build (mingw-w64, the `windows` preset) run under Wine: its unit tests,
# then a full load through a COM port that the Wine prefix maps onto the simulator.
# Needs the host build for the simulator and the demo image tool.
DEPS_LISTS += windows
TEST_STEPS += test-windows

.PHONY: test-windows

test-windows: build
	JOBS=$(JOBS) scripts/test-windows
