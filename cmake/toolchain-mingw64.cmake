# SPDX-License-Identifier: MIT
# Cross-builds for 64-bit Windows with Debian's mingw-w64 and runs the results under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The -posix thread model: GCC 12's -win32 variant has no std::thread or std::mutex.
set(KESTRUN_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KESTRUN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTRUN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTRUN_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KESTRUN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Qt for Windows (scripts/build-qt-windows.sh) is found like the mingw sysroot.
# Its DLLs use the shared C++ runtime, so every program does: wine-run.sh finds
# the runtime DLLs for the tests, and the packages ship them.
if(KESTRUN_QT_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH ${KESTRUN_QT_PREFIX})
  list(APPEND CMAKE_PREFIX_PATH ${KESTRUN_QT_PREFIX})
  set(QT_HOST_PATH /usr)
  set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
endif()

# Test programs run under Wine, in a prefix of the build folder's own that has
# the drives the tests expect. Another runner may be named on the command line
# (an empty one for builds that run nothing); see cmake/wine-run.sh.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wine
      --setup ${CMAKE_CURRENT_LIST_DIR}/../tests/platform/windows/wine-drives.sh)
endif()
