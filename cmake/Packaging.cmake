# What `cmake --install` and `cpack` deliver: the four programs with the
# manual page, as a .tar.gz and a .deb natively, and as a ZIP for Windows.
include(GNUInstallDirs)

set(PELLARN_PROGRAMS)
foreach(build IN LISTS PELLARN_BUILDS)
  list(APPEND PELLARN_PROGRAMS pellarn-${build})
endforeach()

if(WIN32)
  # A Windows download is one folder to unpack anywhere: the four .exe
  # beside a README with CR LF line ends, for Notepad.
  configure_file(docs/README-windows.txt ${CMAKE_BINARY_DIR}/README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  install(TARGETS ${PELLARN_PROGRAMS} RUNTIME DESTINATION .)
  install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)
else()
  install(TARGETS ${PELLARN_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES docs/pellarn.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_PACKAGE_NAME pellarn)
set(CPACK_PACKAGE_VENDOR pellarn)
set(CPACK_PACKAGE_CONTACT "pellarn developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Sieves the primes up to a limit and reports the milliseconds of each phase")
set(CPACK_PACKAGE_DESCRIPTION
"Four builds, pellarn-1, -5, -10 and -15, accept limits up to 100,000,000,
500,000,000, 1,000,000,000 and 1,500,000,000. The primes go to a text file,
one per line with CR LF line ends; the console texts are Japanese, in
Shift-JIS. See pellarn(1).")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME pellarn-${PROJECT_VERSION}-win32)
else()
  set(CPACK_GENERATOR TGZ DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION math)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
