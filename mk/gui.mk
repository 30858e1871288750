# The desktop program: its packages, and a check that the Debian package builds as the
# README gives it, holds what it must and passes lintian (the Qt and end-to-end tests
# run in ctest).
DEPS_LISTS += gui
TEST_STEPS += test-gui-package
BUILD_STEPS += package-build

RELEASE_DIR := build/release

.PHONY: package package-build test-gui-package

# The Debian package of an optimised build: build/release/kxboot_*.deb. The release tree
# builds no tests (the default and sanitize trees run them), and only what the package
# holds is built here.
package-build: deps
	cmake --preset release
	$(TIMED) $@ cmake --build --preset release -j $(JOBS) --target kxboot kxboot-cli kxboot-sim kxboot-debian-files

package: package-build
	rm -f $(RELEASE_DIR)/kxboot_*.deb
	cd $(RELEASE_DIR) && cpack -G DEB

# The package the README documents, its contents, and lintian's verdict (no errors).
test-gui-package: package
	$(TIMED) $@ scripts/check-package $(RELEASE_DIR)/kxboot_*.deb
