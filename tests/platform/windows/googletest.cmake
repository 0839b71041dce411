# SPDX-License-Identifier: MIT
# Debian ships GoogleTest's sources (libgtest-dev) but no build of it for mingw,
# so a cross-build compiles its own. Gives the same GTest:: targets as find_package.
set(KESTRUN_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for cross-builds")
set(INSTALL_GTEST OFF CACHE BOOL "Do not install the GoogleTest built for the tests")
add_subdirectory(${KESTRUN_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
