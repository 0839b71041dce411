# SPDX-License-Identifier: MIT
# `make package`: a Debian package of what cmake/Install.cmake installs;
# `make package-windows`: an installer and a zip of the same files.
set(CPACK_PACKAGE_NAME kestrun)
set(CPACK_PACKAGE_VENDOR "The Kestrun developers")
set(CPACK_PACKAGE_CONTACT "The Kestrun developers <kestrun@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "run commands when a drive with a given volume label appears")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR NSIS ZIP)
  set(CPACK_PACKAGE_FILE_NAME Kestrun-${PROJECT_VERSION}-win64)
  set(CPACK_PACKAGE_INSTALL_DIRECTORY Kestrun)
  set(CPACK_PACKAGE_EXECUTABLES kestrun Kestrun)  # the Start menu shortcut
  set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
  set(CPACK_NSIS_PACKAGE_NAME Kestrun)
  set(CPACK_NSIS_DISPLAY_NAME Kestrun)
  set(CPACK_NSIS_INSTALLED_ICON_NAME kestrun.exe)  # in Apps & features
  set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/kestrun.ico)
  set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/resources/kestrun.ico)
  set(CPACK_NSIS_URL_INFO_ABOUT "${KESTRUN_HOME_URL}")
  set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
  set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Kestrun)
  # A 64-bit installer for a 64-bit program: it needs no 32-bit layer, and it
  # writes the uninstaller's entry where 64-bit Windows looks for it. The page
  # "Start with Windows" comes before the files are installed; the installed
  # version is removed by the install itself rather than up front, so that the
  # page can first read the user's choice from it. (NSIS's single quotes: CPack
  # passes double quotes on as list separators.)
  set(CPACK_NSIS_DEFINES "Unicode true\nTarget amd64-unicode
!define KESTRUN_INSTALL_KEY '${CPACK_PACKAGE_INSTALL_REGISTRY_KEY}'
!include '${PROJECT_SOURCE_DIR}/packaging/start_at_login.nsh'")
  set(CPACK_NSIS_PAGE_COMPONENTS "Page custom StartAtLoginPage StartAtLoginPageLeave")
  set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS "!insertmacro KESTRUN_REMOVE_INSTALLED_VERSION")
  set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "!insertmacro KESTRUN_APPLY_START_AT_LOGIN")
  set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "!insertmacro KESTRUN_FORGET_START_AT_LOGIN")
  # The installer's licence page.
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/LICENSE.txt COPYONLY)
  set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_BINARY_DIR}/LICENSE.txt)
  include(CPack)
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KESTRUN_HOME_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugins at run time, which dpkg-shlibdeps cannot see.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Ejecting (eject: lines) and --mount go through udisks2, which every desktop
# installs; Kestrun runs without it and says so in the log when asked to eject.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udisks2")
# CPack puts the summary first and indents these lines itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kestrun watches the machine's drives and runs your commands when a drive
with a given volume label appears, such as backing up a USB stick as soon
as it is plugged in. Labels and commands are tied together in a short
detection script, checked with a built-in validator beside a live list of
the connected drives. Kestrun polls while its window is open or minimised
to the system tray, and can also poll without a window as a user service.")

include(CPack)
