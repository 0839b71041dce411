# SPDX-License-Identifier: MIT
# Windows platform layer (target `platform`): kernel32, shell32 and the registry,
# through the wide (UTF-16) calls only; console events through Qt's event loop.

add_library(platform STATIC
  drives_win.cpp
  launcher_win.cpp
  platform_win.cpp
  registry_store_win.cpp
  settings_file_win.cpp
  text_win.cpp
  native.cpp
  web_link_win.cpp
)
target_include_directories(platform PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_definitions(platform PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(platform
  PUBLIC engine
  PRIVATE shell32 advapi32 kestrun_warnings)
# Console events, following started processes and the arguments as text need
# Qt; the engine-only build lets commands go unreported.
if(KESTRUN_WITH_QT)
  find_package(Qt6 REQUIRED COMPONENTS Core)
  target_sources(platform PRIVATE native_win.cpp process_start_win.cpp
    process_watch_win.cpp)
  target_link_libraries(platform PRIVATE Qt6::Core)
else()
  target_sources(platform PRIVATE process_watch_none_win.cpp)
endif()

# The executable's version (1.5.0.0, shown as "1.05") and its icon. Link this
# to kestrun.exe; the Windows tests link it too, to read it back.
if(PROJECT_VERSION_MINOR LESS 10)
  set(KESTRUN_VERSION_STRING "${PROJECT_VERSION_MAJOR}.0${PROJECT_VERSION_MINOR}")
else()
  set(KESTRUN_VERSION_STRING "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
endif()
set(KESTRUN_ICON_FILE ${PROJECT_SOURCE_DIR}/resources/kestrun.ico)
configure_file(${PROJECT_SOURCE_DIR}/resources/windows/kestrun.rc.in
               ${CMAKE_CURRENT_BINARY_DIR}/kestrun.rc @ONLY)
add_library(kestrun_version_resource OBJECT ${CMAKE_CURRENT_BINARY_DIR}/kestrun.rc)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/kestrun.rc
  PROPERTIES OBJECT_DEPENDS ${KESTRUN_ICON_FILE})
