# make bench: a release build, then one table of load timing and memory figures, each
# with its goal and the command that reproduces it (also in build/bench/bench.md).
.PHONY: bench bench-build

# The Ethernet serial server of the network row (left out when it is not installed).
SER2NET ?= $(shell command -v ser2net 2>/dev/null || ls /usr/sbin/ser2net 2>/dev/null)

bench-build: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS) --target kxbench kxboot-cli kxboot-sim kxboot
	cmake --preset windows
	cmake --build --preset windows -j $(JOBS) --target kxboot

bench: bench-build
	build/release/bench/load/kxbench --sim build/release/sim/kxboot-sim --cli build/release/cli/kxboot-cli \
	  $(if $(wildcard build/release/gui/qt/kxboot),--gui build/release/gui/qt/kxboot) \
	  --win-gui build/windows/gui/win32/kxboot.exe --wine-prefix build/windows/wineprefix \
	  $(if $(SER2NET),--ser2net $(SER2NET)) \
	  --work build/bench --markdown build/bench/bench.md
