# SPDX-License-Identifier: MIT
# What kestrun.exe needs beside it on Windows: Qt's DLLs and plugins, the C++
# runtime DLLs of the mingw-w64 compiler, and the licence texts of all of
# them. <build>/runtime links them for the tests under Wine (cmake/wine-run.sh
# puts it on the DLL and plugin paths); the install rules copy them.
find_package(Qt6 REQUIRED COMPONENTS Core)
get_filename_component(KESTRUN_QT_WINDOWS_PREFIX "${Qt6_DIR}/../../.." REALPATH)

function(kestrun_compiler_file name out)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(path "${path}" REALPATH)
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} has no ${name}")
  endif()
  set(${out} "${path}" PARENT_SCOPE)
endfunction()

set(runtime "${CMAKE_BINARY_DIR}/runtime")
file(REMOVE_RECURSE "${runtime}")
file(MAKE_DIRECTORY "${runtime}/plugins")

# Debian's runtime DLLs carry their debugging sections: 24 MB for libstdc++
# alone, 2 MB without.
set(KESTRUN_WINDOWS_RUNTIME)
foreach(dll IN ITEMS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  kestrun_compiler_file(${dll} path)
  execute_process(COMMAND ${CMAKE_STRIP} --strip-unneeded -o "${runtime}/${dll}" "${path}"
                  RESULT_VARIABLE stripped)
  if(NOT stripped EQUAL 0)
    message(FATAL_ERROR "${CMAKE_STRIP} could not strip ${path}")
  endif()
  list(APPEND KESTRUN_WINDOWS_RUNTIME "${runtime}/${dll}")
endforeach()

set(qt_bin "${KESTRUN_QT_WINDOWS_PREFIX}/bin")
set(qt_plugins "${KESTRUN_QT_WINDOWS_PREFIX}/plugins")
set(KESTRUN_WINDOWS_QT_DLLS "${qt_bin}/Qt6Core.dll" "${qt_bin}/Qt6Gui.dll" "${qt_bin}/Qt6Widgets.dll"
    "${qt_bin}/Qt6Network.dll")
# The native look comes from the style plugin; without it Qt draws its own.
set(KESTRUN_WINDOWS_QT_PLUGINS platforms/qwindows.dll styles/qwindowsvistastyle.dll)

# For the tests: the Qt DLLs too, and what only tests load.
foreach(file IN LISTS KESTRUN_WINDOWS_QT_DLLS ITEMS "${qt_bin}/Qt6Test.dll")
  get_filename_component(name "${file}" NAME)
  file(CREATE_LINK "${file}" "${runtime}/${name}" SYMBOLIC)
endforeach()
foreach(kind IN ITEMS platforms styles)
  file(CREATE_LINK "${qt_plugins}/${kind}" "${runtime}/plugins/${kind}" SYMBOLIC)
endforeach()

if(NOT TARGET kestrun)
  return()
endif()
install(FILES ${KESTRUN_WINDOWS_RUNTIME} ${KESTRUN_WINDOWS_QT_DLLS} DESTINATION .)
foreach(plugin IN LISTS KESTRUN_WINDOWS_QT_PLUGINS)
  get_filename_component(folder "${plugin}" DIRECTORY)
  install(FILES "${qt_plugins}/${plugin}" DESTINATION ${folder})
endforeach()
install(DIRECTORY "${KESTRUN_QT_WINDOWS_PREFIX}/licenses/qt" DESTINATION licenses)
install(FILES /usr/share/doc/gcc-mingw-w64-base/copyright
        DESTINATION licenses/gcc-runtime RENAME COPYRIGHT.txt)
install(FILES /usr/share/common-licenses/GPL-3 DESTINATION licenses/gcc-runtime RENAME GPL-3.txt)
install(FILES /usr/share/doc/mingw-w64-common/copyright
        DESTINATION licenses/winpthreads RENAME COPYRIGHT.txt)
