# What `cmake --install` lays out, and the packages cpack makes from it: a
# .deb from the Linux build, a .tar.gz from the static Linux build, a .zip
# from the Windows one. With SOURCE_DATE_EPOCH set (scripts/check-packages.sh
# takes the last commit's time), two builds give the same bytes.
include(GNUInstallDirs)

set(TOCASE_MAINTAINER "The tocase authors <tocase@example.org>")

# The manual page names the version that project() declares.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/doc/tocase.1)
file(READ ${PROJECT_SOURCE_DIR}/doc/tocase.1 manual)
string(REGEX REPLACE "\"tocase [0-9.]+\"" "\"tocase ${PROJECT_VERSION}\"" manual "${manual}")
file(WRITE ${PROJECT_BINARY_DIR}/doc/tocase.1 "${manual}")

if(WIN32 OR TOCASE_STATIC)
  # The program beside its texts, in one folder.
  install(TARGETS tocase RUNTIME DESTINATION . COMPONENT tool)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_STRIP_FILES ON)
endif()
if(WIN32)
  # With the line ends Windows editors expect.
  configure_file(README.md ${PROJECT_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(LICENSE ${PROJECT_BINARY_DIR}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION . COMPONENT tool)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME tocase-${PROJECT_VERSION}-win64)
elseif(TOCASE_STATIC)
  # For any x86-64 Linux: no library needed, so nothing to match.
  install(FILES ${PROJECT_BINARY_DIR}/doc/tocase.1 README.md LICENSE ${TOCASE_COMPLETIONS}/tocase.bash-completion
    ${TOCASE_COMPLETIONS}/_tocase ${TOCASE_COMPLETIONS}/tocase.fish DESTINATION . COMPONENT tool)
  set(CPACK_GENERATOR TGZ)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_PACKAGE_FILE_NAME tocase-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
else()
  install(TARGETS tocase RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
  install(FILES ${PROJECT_BINARY_DIR}/doc/tocase.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT manual)
  install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT documentation)
  install(FILES ${TOCASE_COMPLETIONS}/tocase.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
    RENAME tocase COMPONENT tool)
  install(FILES ${TOCASE_COMPLETIONS}/tocase.fish DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d
    COMPONENT tool)
  # zsh looks in site-functions for what is installed by hand, and in
  # vendor-completions for what a Debian package brings.
  install(FILES ${TOCASE_COMPLETIONS}/_tocase DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/site-functions COMPONENT zsh)
  install(FILES ${TOCASE_COMPLETIONS}/_tocase DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions
    COMPONENT debian EXCLUDE_FROM_ALL)

  # Debian's layout, for the .deb only: the manual page and the changelog
  # gzipped, the licence as copyright.
  configure_file(packaging/changelog.Debian.in ${PROJECT_BINARY_DIR}/debian/changelog.Debian @ONLY)
  set(debian ${PROJECT_BINARY_DIR}/debian)
  add_custom_command(OUTPUT ${debian}/tocase.1.gz ${debian}/changelog.Debian.gz
    COMMAND gzip -9n -c ${PROJECT_BINARY_DIR}/doc/tocase.1 > ${debian}/tocase.1.gz
    COMMAND gzip -9n -c ${debian}/changelog.Debian > ${debian}/changelog.Debian.gz
    DEPENDS ${PROJECT_BINARY_DIR}/doc/tocase.1 ${debian}/changelog.Debian)
  add_custom_target(debian_files ALL DEPENDS ${debian}/tocase.1.gz ${debian}/changelog.Debian.gz)
  install(FILES ${debian}/tocase.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
    COMPONENT debian EXCLUDE_FROM_ALL)
  install(FILES packaging/copyright ${debian}/changelog.Debian.gz README.md DESTINATION ${CMAKE_INSTALL_DOCDIR}
    COMPONENT debian EXCLUDE_FROM_ALL)

  set(CPACK_GENERATOR DEB)
  set(CPACK_COMPONENTS_ALL tool debian)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_PACKAGE_DESCRIPTION "tocase renames the files, or the directories, that match
one file specification with wildcards so that their names become all
lowercase or all uppercase, lists every rename, and ends with a summary.
With /R it descends into every subdirectory, each directory after
everything below it. It never replaces another entry, never follows a
link in the descent, and works on file systems that fold case, such as
FAT and exFAT.")
  set(CPACK_STRIP_FILES ON)
  set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endif()

set(CPACK_PACKAGE_NAME tocase)
set(CPACK_PACKAGE_VENDOR "the tocase authors")
set(CPACK_PACKAGE_CONTACT "${TOCASE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
include(CPack)
