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
  # page can first read the user's choice from it; so is the page "Command
  # line" (packaging/add_to_path.nsh). (NSIS's single quotes: CPack
  # passes double quotes on as list separators.)
  set(CPACK_NSIS_DEFINES "Unicode true\nTarget amd64-unicode
!define KESTRUN_INSTALL_KEY '${CPACK_PACKAGE_INSTALL_REGISTRY_KEY}'
!include '${PROJECT_SOURCE_DIR}/packaging/start_at_login.nsh'
!include '${PROJECT_SOURCE_DIR}/packaging/add_to_path.nsh'")
  set(CPACK_NSIS_PAGE_COMPONENTS "Page custom StartAtLoginPage StartAtLoginPageLeave
  Page custom AddToPathPage AddToPathPageLeave")
  set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS "Call AddToPathChoice
  !insertmacro KESTRUN_REMOVE_INSTALLED_VERSION")
  set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "!insertmacro KESTRUN_APPLY_START_AT_LOGIN
  !insertmacro KESTRUN_APPLY_ADD_TO_PATH")
  set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "!insertmacro KESTRUN_FORGET_START_AT_LOGIN
  !insertmacro KESTRUN_REMOVE_FROM_PATH")
  # The installer's licence page.
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/LICENSE.txt COPYONLY)
  set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_BINARY_DIR}/LICENSE.txt)
  include(CPack)
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

# Two packages: kestrun-cli, the command line and the user service, which a
# headless machine installs alone without any display library; and kestrun,
# the window and its desktop integration, on top of it.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL cli desktop)
set(CPACK_DEBIAN_CLI_PACKAGE_NAME kestrun-cli)
set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME kestrun)
# Up to 1.5.0 one package named kestrun held everything; the revision puts the
# two packages after it, so that the files kestrun-cli takes over from it
# (the program, the user unit, the manual page) move on upgrade.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(kestrun_deb_version ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
set(CPACK_DEBIAN_CLI_PACKAGE_REPLACES "kestrun (<< 1.5.0-1~)")
set(CPACK_DEBIAN_CLI_PACKAGE_BREAKS "kestrun (<< 1.5.0-1~)")
# Qt loads its platform plugins at run time, which dpkg-shlibdeps cannot see.
set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS "kestrun-cli (= ${kestrun_deb_version}), qt6-qpa-plugins")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KESTRUN_HOME_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Ejecting (eject: lines) and --mount go through udisks2, which every desktop
# installs; Kestrun runs without it and says so in the log when asked to eject.
set(CPACK_DEBIAN_CLI_PACKAGE_RECOMMENDS "udisks2")
# CPack puts the summary first and indents these lines itself; each package
# says what it holds after them.
set(kestrun_about
    "Kestrun watches the machine's drives and runs your commands when a drive
with a given volume label appears, such as backing up a USB stick as soon
as it is plugged in. Labels and commands are tied together in a short
detection script, checked with a built-in validator beside a live list of
the connected drives. Kestrun polls while its window is open or minimised
to the system tray, and can also poll without a window as a user service.")
set(CPACK_COMPONENT_CLI_DESCRIPTION "${kestrun_about}

This package holds the command line: the kestrun command, the user service
that polls without a window, and the manual page. It needs no display
libraries; install kestrun for the window.")
set(CPACK_COMPONENT_DESKTOP_DESCRIPTION "${kestrun_about}

This package holds the window: the main window with its tray icon and script
editor, which kestrun without arguments and the desktop's menu open.")

include(CPack)
