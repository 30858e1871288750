# make demo: builds the loader and the simulated device, loads a generated 22-page image
# into the device over a pseudo-terminal and checks what its flash holds afterwards.
# PACE=19200 runs the device at the real line speed (default: as fast as it goes).
# DEMO_PRESET=release builds the release preset instead of the default one.
DEMO_PRESET ?= default
PACE ?=

.PHONY: demo

demo: deps
	cmake --preset $(DEMO_PRESET)
	cmake --build --preset $(DEMO_PRESET) -j $(JOBS) --target kxboot-cli kxboot-sim kxboot-demo-image
	scripts/demo build/$(DEMO_PRESET) $(PACE)
