# CLI11 is header-only, so the build machine's copy serves the Windows build. Only its
# own folder is exposed: putting the whole of /usr/include on the include path would mix
# the build machine's C library headers into the Windows build.
set(CLI11_FOUND TRUE)
if(NOT TARGET CLI11::CLI11)
  set(_kx_cli11_root ${CMAKE_BINARY_DIR}/cross-include/cli11)
  if(NOT EXISTS ${_kx_cli11_root}/CLI/CLI.hpp)
    if(NOT EXISTS /usr/include/CLI/CLI.hpp)
      set(CLI11_FOUND FALSE)
      return()
    endif()
    file(MAKE_DIRECTORY ${_kx_cli11_root})
    file(CREATE_LINK /usr/include/CLI ${_kx_cli11_root}/CLI SYMBOLIC)
  endif()
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_kx_cli11_root})
endif()
