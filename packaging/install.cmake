# What `cmake --install` puts where, and the Debian package `make package` builds from it.
# The program finds its files from its own location (bin/../share/trawlix), so an install
# works from /usr, /usr/local or a DESTDIR alike; these folders must stay side by side.
set(TRAWLIX_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
# The day this version was released: the AppStream release and the Debian changelog.
set(TRAWLIX_RELEASE_DATE 2026-12-10)
set(TRAWLIX_MAINTAINER "Velmora Solutions <support@velmorasolutions.com>" CACHE STRING
  "Maintainer named in the Debian package and its changelog")
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# --- programs and their data ------------------------------------------------------
install(TARGETS trawlix-cli RUNTIME DESTINATION bin)
# The CLI's pictures module, found from the program as bin/../lib/trawlix/plugins: a folder
# of lib/trawlix rather than lib/trawlix itself, because CPack adds ldconfig maintainer scripts
# to a package with a library in lib/ or a folder right below it, and a private module needs none.
install(TARGETS trawlix-pictures LIBRARY DESTINATION lib/trawlix/plugins)
# Everything in data/ is the program's data, whatever folders it grows, except the public
# sources the reference files are made from, the schema they are made with and the
# service files, which go to the service manager below.
install(DIRECTORY data/ DESTINATION share/trawlix
  PATTERN "sources" EXCLUDE PATTERN "systemd" EXCLUDE PATTERN "*.sql" EXCLUDE)
# Data that build steps make goes to the build's own data folder and is installed alike.
set(TRAWLIX_BUILD_DATA_DIR ${CMAKE_BINARY_DIR}/data)
install(DIRECTORY ${TRAWLIX_BUILD_DATA_DIR}/ DESTINATION share/trawlix OPTIONAL)
# User services, installed disabled: nothing enables them for the user.
install(DIRECTORY data/systemd/ DESTINATION lib/systemd/user OPTIONAL
  FILES_MATCHING PATTERN "*.service" PATTERN "*.timer")

# --- documents: manual pages from the programs' help, copyright, changelog ---------------
set(docs_dir ${CMAKE_BINARY_DIR}/docs)
set(make_docs ${Python3_EXECUTABLE} ${TRAWLIX_PACKAGING_DIR}/make_docs.py)
add_custom_command(OUTPUT ${docs_dir}/trawlix-cli.1.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${docs_dir}
  COMMAND ${make_docs} cli-manual $<TARGET_FILE:trawlix-cli> ${PROJECT_VERSION} ${TRAWLIX_RELEASE_DATE}
          ${docs_dir}/trawlix-cli.1.gz
  DEPENDS trawlix-cli ${TRAWLIX_PACKAGING_DIR}/make_docs.py
  COMMENT "Writing the trawlix-cli manual page from its help" VERBATIM)
add_custom_command(OUTPUT ${docs_dir}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${docs_dir}
  COMMAND ${make_docs} changelog ${PROJECT_VERSION} ${TRAWLIX_RELEASE_DATE} "${TRAWLIX_MAINTAINER}"
          ${docs_dir}/changelog.gz
  DEPENDS ${TRAWLIX_PACKAGING_DIR}/make_docs.py VERBATIM)
set(generated ${docs_dir}/trawlix-cli.1.gz ${docs_dir}/changelog.gz)
install(FILES ${docs_dir}/trawlix-cli.1.gz DESTINATION share/man/man1)
install(FILES ${TRAWLIX_PACKAGING_DIR}/copyright ${docs_dir}/changelog.gz DESTINATION share/doc/trawlix)

# --- the desktop program's menu entry, icons and software-centre description --------------
if(TARGET trawlix)
  find_program(RSVG_CONVERT rsvg-convert REQUIRED)
  set(icon ${CMAKE_SOURCE_DIR}/src/ui/resources/pictures/trawlix.svg)
  foreach(size 16 22 24 32 48 64 128 256)
    set(png ${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps/trawlix.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps
      COMMAND ${RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${icon}
      DEPENDS ${icon} VERBATIM)
    list(APPEND generated ${png})
  endforeach()
  install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/hicolor DESTINATION share/icons)
  install(FILES ${icon} DESTINATION share/icons/hicolor/scalable/apps)

  add_custom_command(OUTPUT ${docs_dir}/trawlix.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${docs_dir}
    COMMAND ${make_docs} gzip ${TRAWLIX_PACKAGING_DIR}/trawlix.1 ${docs_dir}/trawlix.1.gz
    DEPENDS ${TRAWLIX_PACKAGING_DIR}/trawlix.1 ${TRAWLIX_PACKAGING_DIR}/make_docs.py VERBATIM)
  list(APPEND generated ${docs_dir}/trawlix.1.gz)
  install(FILES ${docs_dir}/trawlix.1.gz DESTINATION share/man/man1)

  install(FILES ${TRAWLIX_PACKAGING_DIR}/trawlix.desktop DESTINATION share/applications)
  set(metainfo ${CMAKE_BINARY_DIR}/com.velmorasolutions.Trawlix.metainfo.xml)
  configure_file(${TRAWLIX_PACKAGING_DIR}/com.velmorasolutions.Trawlix.metainfo.xml ${metainfo} @ONLY)
  install(FILES ${metainfo} DESTINATION share/metainfo)

  if(TRAWLIX_BUILD_TESTS)
    enable_testing()  # this file is read before the top level turns testing on
    find_program(DESKTOP_FILE_VALIDATE desktop-file-validate REQUIRED)
    find_program(APPSTREAMCLI appstreamcli REQUIRED)
    add_test(NAME packaging_desktop_entry
      COMMAND ${DESKTOP_FILE_VALIDATE} ${TRAWLIX_PACKAGING_DIR}/trawlix.desktop)
    add_test(NAME packaging_metainfo COMMAND ${APPSTREAMCLI} validate --no-net --pedantic ${metainfo})
    set_tests_properties(packaging_desktop_entry packaging_metainfo PROPERTIES LABELS packaging)
  endif()
endif()
add_custom_target(trawlix_install_files ALL DEPENDS ${generated})

# --- the Debian package: make package --------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trawlix)
set(CPACK_PACKAGE_VENDOR "Velmora Solutions")
set(CPACK_PACKAGE_CONTACT "${TRAWLIX_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "search and watch classified-ad sites")
set(CPACK_PACKAGE_DESCRIPTION "Trawlix searches classified-ad sites (Craigslist, Backpage, Oodle, eBay
Classifieds, Cars.com, Autotrader) in many places and categories at once,
keeps watching them, merges what it finds into each search's results (new
ones marked) and alerts its user by e-mail or SMS.

The package holds the desktop program, the command-line companion
trawlix-cli and a user service that watches the searches (disabled until
the user enables it).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.velmorasolutions.com/)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries come from what the programs link (dpkg-shlibdeps). Qt's window-system
# plugins are loaded at run time, so no link names them: the program cannot open a window
# without them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET trawlix)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
endif()
include(CPack)
