# SPDX-License-Identifier: MIT
# Linux platform layer (target `platform`): drives from the mount table, sysfs,
# udev and libblkid; launching with fork and execve, commands followed on the
# Qt event loop.
find_package(Qt6 REQUIRED COMPONENTS Core)
find_package(PkgConfig REQUIRED)
pkg_check_modules(BLKID REQUIRED IMPORTED_TARGET blkid)

add_library(platform STATIC
  child_watch_linux.cpp
  drive_types_linux.cpp
  drives_linux.cpp
  labels_linux.cpp
  launcher_linux.cpp
  letter_table_linux.cpp
  letters_file_linux.cpp
  mountinfo_linux.cpp
  native.cpp
  native_linux.cpp
  platform_linux.cpp
  process_start_linux.cpp
  qstring_bytes_linux.cpp
  settings_file_linux.cpp
)
target_include_directories(platform PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(platform
  PUBLIC engine Qt6::Core
  PRIVATE PkgConfig::BLKID kestrun_warnings)
