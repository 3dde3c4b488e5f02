# Installing vintrell-find (make install: CMAKE_INSTALL_PREFIX, default
# /usr/local; DESTDIR honoured) and its Debian package (make dist, through CPack
# from these same rules).
include(GNUInstallDirs)

install(TARGETS vintrell-find RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The manual page, its version and date filled in (the date from
# SOURCE_DATE_EPOCH when set), compressed without a name or time in it.
set(man_source ${PROJECT_SOURCE_DIR}/doc/vintrell-find.1.in)
if(EXISTS ${man_source} AND NOT WIN32)
  string(TIMESTAMP VINTRELL_MAN_DATE "%Y-%m-%d" UTC)
  set(man_page ${VINTRELL_GENERATED_DIR}/vintrell-find.1)
  configure_file(${man_source} ${man_page} @ONLY)
  find_program(GZIP gzip REQUIRED)
  add_custom_command(OUTPUT ${man_page}.gz
                     COMMAND ${GZIP} -9 -n -c ${man_page} > ${man_page}.gz
                     DEPENDS ${man_page} VERBATIM)
  add_custom_target(manual_page ALL DEPENDS ${man_page}.gz)
  install(FILES ${man_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vintrell-find RENAME copyright)

if(WIN32)
  return()
endif()

# Checks that the project version is what vintrell-find --version prints, what
# the manual page names and what the package is called, and that the licence
# carries the dialog's copyright line.
add_test(NAME release_version_check
         COMMAND sh ${PROJECT_SOURCE_DIR}/tools/check-version.sh ${PROJECT_VERSION}
                 $<TARGET_FILE:vintrell-find> ${VINTRELL_GENERATED_DIR}/vintrell-find.1
                 ${PROJECT_BINARY_DIR}/CPackConfig.cmake ${PROJECT_SOURCE_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vintrell-find)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Quorvastel)
set(CPACK_PACKAGE_CONTACT "Quorvastel <vintrell@quorvastel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "find text in Pegasus Mail address books and distribution lists")
set(CPACK_PACKAGE_DESCRIPTION
    "vintrell-find searches the address books (*.PMR) or the distribution lists
(*.PML) of a Pegasus Mail folder for a piece of text and lists the files in
which it occurs, by their titles, with counts, then a summary line: the command
line front end of Vintrell, a small Windows utility. It never changes a file.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
