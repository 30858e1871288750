# The Windows build (mingw-w64, the `windows` preset) run under Wine: its unit tests,
# then a full load through a COM port that the Wine prefix maps onto the simulator, by the
# command line and by clicking the desktop program from the unpacked zip.
# Needs the host build for the simulator and the demo image tool.
DEPS_LISTS += windows
TEST_STEPS += test-windows
BUILD_STEPS += windows-build

.PHONY: test-windows windows-build package-windows

# The cross build: scripts/test-windows builds it too (when it runs alone), finding
# nothing left to do after this.
windows-build: deps
	cmake --preset windows
	$(TIMED) $@ cmake --build --preset windows -j $(JOBS)

test-windows: build windows-build
	$(TIMED) $@ env JOBS=$(JOBS) scripts/test-windows

# The zip for the technician: build/windows/kxboot-<version>-win64.zip with kxboot.exe,
# kxboot-cli.exe and a README in Russian.
package-windows: deps
	cmake --preset windows
	cmake --build --preset windows -j $(JOBS) --target kxboot kxboot-cli
	scripts/package-windows build/windows
