# Windows (x86-64) executables cross-built with Debian's mingw-w64 (g++-mingw-w64-x86-64).
# The POSIX thread model is used: its libstdc++ has std::thread and the timed waits the
# code and GoogleTest rely on. Everything is linked statically (libgcc, libstdc++,
# winpthread), so the programs need no DLLs beside them, on Windows as under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KX_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KX_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# GCC 12's flow-based warnings report false overlaps and out-of-bounds copies inside
# std::string and std::vector once optimised; they stay warnings, not errors, here.
# -O2 rather than -O3: fewer of them, and a faster cross build.
set(CMAKE_CXX_FLAGS_INIT "-Wno-error=restrict -Wno-error=array-bounds -Wno-error=stringop-overflow")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of the Release build")

# Tests and tools built here run under Wine (scripts/wine-run sets up the project's prefix).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)

# Header-only libraries of the build machine that are the same for any target.
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw-w64 CACHE PATH "CLI11 for the Windows build")
