# The desktop program: its packages, and a check that the Debian package can be built
# from the build tree and holds what it must (the Qt and end-to-end tests run in ctest).
DEPS_LISTS += gui
TEST_STEPS += test-gui-package

PACKAGE_DIR := build/default/package

.PHONY: package test-gui-package

# The Debian package of an optimised build: build/release/kxboot_*.deb.
package: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)
	cd build/release && cpack -G DEB

test-gui-package: build
	rm -rf $(PACKAGE_DIR)
	cd build/default && cpack -G DEB -B $(CURDIR)/$(PACKAGE_DIR) >/dev/null
	scripts/check-package $(PACKAGE_DIR)/kxboot_*.deb
