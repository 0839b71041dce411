# Windows platform layer (target `platform`): kernel32, shell32 and the registry,
# through the wide (UTF-16) calls only.
add_library(platform STATIC
  drives_win.cpp
  launcher_win.cpp
  platform_win.cpp
  registry_store_win.cpp
  text_win.cpp
  web_link_win.cpp
)
target_include_directories(platform PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_definitions(platform PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(platform
  PUBLIC engine
  PRIVATE shell32 advapi32 kestrun_warnings)

