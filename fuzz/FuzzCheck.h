#pragma once
// What every harness needs: a failed property ends the run loudly (libFuzzer keeps the
// input), and a private scratch file for harnesses that must go through the file system.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace kx::fuzz {

[[noreturn]] inline void Fail(const std::string& what) {
    std::fprintf(stderr, "fuzz: %s\n", what.c_str());
    std::abort();
}

inline void Require(bool ok, const std::string& what) {
    if (!ok) Fail(what);
}

// A path in $TMPDIR (or /tmp) that no other process of the run uses.
inline std::string ScratchPath(const std::string& stem, const std::string& extension) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/" + stem + "-" +
           std::to_string(getpid()) + extension;
}

}  // namespace kx::fuzz
