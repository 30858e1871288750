# What a Debian package needs besides the programs: the copyright file, the changelog
# and a manual page for each program, compressed as Debian wants them (gzip -9n: the
# highest level and no time stamp, so that rebuilds give the same bytes).
set(debian_dir ${CMAKE_CURRENT_SOURCE_DIR}/debian)
set(debian_out ${CMAKE_CURRENT_BINARY_DIR}/debian)
file(MAKE_DIRECTORY ${debian_out})
find_program(KX_GZIP gzip REQUIRED)

install(FILES ${debian_dir}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

configure_file(${debian_dir}/changelog.in ${debian_out}/changelog @ONLY)
add_custom_command(OUTPUT ${debian_out}/changelog.gz
                   COMMAND ${KX_GZIP} -9nkf ${debian_out}/changelog
                   DEPENDS ${debian_out}/changelog VERBATIM)
set(debian_generated ${debian_out}/changelog.gz)
install(FILES ${debian_out}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The desktop program takes no options, so its page is written by hand; the command-line
# programs' pages come from their --help, which stays the one place they are described.
find_program(KX_HELP2MAN help2man)
set(man_pages)
if(TARGET kxboot)
  configure_file(${debian_dir}/kxboot.1 ${debian_out}/kxboot.1 @ONLY)
  list(APPEND man_pages kxboot)
endif()
set(kxboot-cli_summary "load firmware into PIC24/dsPIC33E devices from the command line")
set(kxboot-sim_summary "simulated PIC24/dsPIC33E boot loader on a pseudo-terminal")
foreach(program kxboot-cli kxboot-sim)
  if(NOT TARGET ${program})
    continue()
  endif()
  if(NOT KX_HELP2MAN)
    message(STATUS "help2man not found: no manual page for ${program}")
    continue()
  endif()
  # The help's Russian texts are UTF-8: help2man reads them as such only in a UTF-8
  # locale (in its default "C" they come out as question marks).
  add_custom_command(OUTPUT ${debian_out}/${program}.1
                     COMMAND ${KX_HELP2MAN} --locale=C.UTF-8 --no-info --no-discard-stderr
                             --include=${debian_dir}/${program}.h2m
                             --version-string=${PROJECT_VERSION} --name=${${program}_summary}
                             --output=${debian_out}/${program}.1 $<TARGET_FILE:${program}>
                     DEPENDS ${program} ${debian_dir}/${program}.h2m VERBATIM)
  list(APPEND man_pages ${program})
endforeach()
foreach(page ${man_pages})
  add_custom_command(OUTPUT ${debian_out}/${page}.1.gz
                     COMMAND ${KX_GZIP} -9nkf ${debian_out}/${page}.1
                     DEPENDS ${debian_out}/${page}.1 VERBATIM)
  list(APPEND debian_generated ${debian_out}/${page}.1.gz)
  install(FILES ${debian_out}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(kxboot-debian-files ALL DEPENDS ${debian_generated})
