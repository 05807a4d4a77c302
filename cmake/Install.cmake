# What an install holds besides the programs, on each system, and the Debian
# package made from the Linux install (cpack -G DEB, scripts/release.sh).
#
# The help file readme.txt is opened by "I need help!": on Windows it lies
# beside the programs (the release folder, the zip and the installer hold
# the same files), elsewhere in the data folder DATADIR/tagshift, where the
# program looks for it after the current folder and its own folder.

set(tagshift_window_program OFF)
if(TAGSHIFT_BUILD_GUI OR TAGSHIFT_BUILD_WIN32_FACE)
  set(tagshift_window_program ON)
endif()

if(WIN32)
  # CR LF line ends, so that Notepad shows the lines of both files.
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/release/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/release/LICENSE.txt DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(tagshift_window_program)
    configure_file(${PROJECT_SOURCE_DIR}/readme.txt ${PROJECT_BINARY_DIR}/release/readme.txt @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${PROJECT_BINARY_DIR}/release/readme.txt DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
  return()
endif()

if(tagshift_window_program)
  install(FILES ${PROJECT_SOURCE_DIR}/readme.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/tagshift)
endif()
if(APPLE)
  return()
endif()

# The desktop: the menu entry, its icon in every size of the hicolor theme
# (scripts/render-icons.sh renders the PNGs from the SVG), the software
# centre's metadata.
if(tagshift_window_program)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/tagshift.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icon.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME tagshift.svg)
  foreach(size 16 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/tagshift-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME tagshift.png)
  endforeach()
  install(FILES ${PROJECT_SOURCE_DIR}/resources/io.github.tagshift.Tagshift.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# The manual pages, made from the programs' own --help and --version by
# help2man at build time, so that every option reaches them.
find_program(TAGSHIFT_HELP2MAN help2man)
if(TAGSHIFT_HELP2MAN AND NOT CMAKE_CROSSCOMPILING)
  set(tagshift_pages tagshift-convert "convert the object and embed blocks of web pages into script files")
  if(tagshift_window_program)
    list(APPEND tagshift_pages tagshift "window program that converts the object and embed blocks of web pages")
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/resources/manual-pages.h2m.in ${PROJECT_BINARY_DIR}/man/manual-pages.h2m @ONLY)
  set(tagshift_page_files "")
  while(tagshift_pages)
    list(POP_FRONT tagshift_pages program summary)
    set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${TAGSHIFT_HELP2MAN} --no-info --name=${summary}
              --include=${PROJECT_BINARY_DIR}/man/manual-pages.h2m --output=${page} $<TARGET_FILE:${program}>
      COMMAND gzip -9nf ${page}
      DEPENDS ${program} ${PROJECT_BINARY_DIR}/man/manual-pages.h2m
      COMMENT "Manual page ${program}.1"
      VERBATIM)
    list(APPEND tagshift_page_files ${page}.gz)
  endwhile()
  add_custom_target(tagshift_manual_pages ALL DEPENDS ${tagshift_page_files})
  install(FILES ${tagshift_page_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "Manual pages left out: help2man was not found")
endif()

# The package's documents: the licence in Debian's machine-readable form, the
# changelog (compressed without a time stamp, as Debian wants) and the news.
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/debian/changelog > ${PROJECT_BINARY_DIR}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/debian/changelog
  VERBATIM)
add_custom_target(tagshift_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${PROJECT_BINARY_DIR}/changelog.gz
              ${PROJECT_SOURCE_DIR}/NEWS.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME tagshift)
# A stripped install (the package's) also loses the compiler's notes, as
# Debian's own packages do.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program tagshift tagshift-convert)
      set(file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\")
      if(EXISTS \"\${file}\")
        execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note \"\${file}\")
      endif()
    endforeach()
  endif()")

# The Debian package: the install above under the prefix the build was
# configured for (scripts/release.sh: /usr), which is also the data folder
# compiled into the program; stripped, its library dependencies worked out
# by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tagshift)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tagshift developers")
set(CPACK_PACKAGE_CONTACT "The Tagshift developers <developers@tagshift.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "move the object and embed blocks of web pages into script files")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Tagshift copies a folder of web sites to a new folder beside it and, in\n"
  "the copy, moves every object and embed block of the selected pages into\n"
  "generated script files beside each page, which write the blocks back when\n"
  "the page is shown. Embedded content written by a script no longer has to\n"
  "be clicked before it becomes active. The source folder is only read.\n"
  "\n"
  "The package holds the window program tagshift and the headless converter\n"
  "tagshift-convert.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
