# SPDX-License-Identifier: MIT
# What `cmake --install` puts under the prefix: the program, its desktop
# integration, the headless user service and the manual page.
if(WIN32)
  # One folder, as Windows programs are installed: kestrun.exe with its DLLs
  # and plugins beside it (cmake/WindowsRuntime.cmake).
  install(TARGETS kestrun RUNTIME DESTINATION .)
  install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
  install(FILES THIRD-PARTY.md DESTINATION .)
  return()
endif()

include(GNUInstallDirs)

install(TARGETS kestrun RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES packaging/${KESTRUN_DESKTOP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
include(cmake/Metainfo.cmake)
kestrun_configure_metainfo(${PROJECT_SOURCE_DIR}/packaging/org.example.Kestrun.metainfo.xml.in
                           "${KESTRUN_HOME_URL}"
                           ${CMAKE_CURRENT_BINARY_DIR}/org.example.Kestrun.metainfo.xml)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/org.example.Kestrun.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

install(FILES resources/kestrun.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size IN ITEMS 16 22 24 32 48 64 128 256)
  install(FILES resources/kestrun-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME kestrun.png)
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
")
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kestrun-headless.service
        DESTINATION lib/systemd/user)

install(FILES packaging/kestrun.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Debian's place for the licence: the machine-readable copyright file.
configure_file(packaging/copyright.in ${CMAKE_CURRENT_BINARY_DIR}/copyright @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kestrun)
