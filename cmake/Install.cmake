# SPDX-License-Identifier: MIT
# What `cmake --install` puts under the prefix: the command-line program with
# the headless user service and the manual page (component cli), and the
# window program with its desktop integration (component desktop).
if(WIN32)
  # One folder, as Windows programs are installed: kestrun.exe and kestrun.com
  # with their DLLs and plugins beside them (cmake/WindowsRuntime.cmake).
  install(TARGETS kestrun kestrun_window RUNTIME DESTINATION .)
  install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
  install(FILES THIRD-PARTY.md DESTINATION .)
  return()
endif()

include(GNUInstallDirs)

install(TARGETS kestrun RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
install(TARGETS kestrun_udisks LIBRARY DESTINATION ${KESTRUN_MODULE_DIR} COMPONENT cli)
install(TARGETS kestrun_window RUNTIME DESTINATION ${KESTRUN_WINDOW_DIR} COMPONENT desktop)

install(FILES packaging/${KESTRUN_DESKTOP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT desktop)
include(cmake/Metainfo.cmake)
kestrun_configure_metainfo(${PROJECT_SOURCE_DIR}/packaging/org.example.Kestrun.metainfo.xml.in
                           "${KESTRUN_HOME_URL}"
                           ${CMAKE_CURRENT_BINARY_DIR}/org.example.Kestrun.metainfo.xml)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/org.example.Kestrun.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT desktop)

install(FILES resources/kestrun.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT desktop)
foreach(size IN ITEMS 16 22 24 32 48 64 128 256)
  install(FILES resources/kestrun-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME kestrun.png COMPONENT desktop)
endforeach()

# systemd looks for user units under <prefix>/lib whatever the libdir is. The
# unit names the program by the path it is installed at, which is known only
# when installing: the Debian package installs under /usr whatever prefix was
# configured, and `cmake --install --prefix` may choose yet another.
if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}")
  set(kestrun_program "${CMAKE_INSTALL_BINDIR}/kestrun")
else()
  set(kestrun_program "\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/kestrun")
endif()
install(CODE "
  set(KESTRUN_INSTALLED_PROGRAM \"${kestrun_program}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/resources/kestrun-headless.service.in\"
                 \"${CMAKE_CURRENT_BINARY_DIR}/kestrun-headless.service\" @ONLY)
" COMPONENT cli)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kestrun-headless.service
        DESTINATION lib/systemd/user COMPONENT cli)

install(FILES packaging/kestrun.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
# Debian's place for the licence: the machine-readable copyright file, in
# each package's own documentation folder.
configure_file(packaging/copyright.in ${CMAKE_CURRENT_BINARY_DIR}/copyright @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kestrun-cli COMPONENT cli)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kestrun COMPONENT desktop)
