# SPDX-License-Identifier: MIT
# The metainfo's home page and screenshot addresses follow KESTRUN_HOME_URL,
# so a packager who sets it gets no example.org image in a software centre.
# cmake -DSOURCE_DIR=<source> -DWORK_DIR=<folder> -P metainfo_test.cmake
include(${SOURCE_DIR}/cmake/Metainfo.cmake)
foreach(home IN ITEMS "https://kestrun.test/home/" "https://kestrun.test/home")
  set(output ${WORK_DIR}/metainfo-test.xml)
  kestrun_configure_metainfo(${SOURCE_DIR}/packaging/org.example.Kestrun.metainfo.xml.in
                             "${home}" ${output})
  file(READ ${output} text)
  foreach(expected IN ITEMS "<url type=\"homepage\">${home}</url>"
                            "<image>https://kestrun.test/home/screenshots/main-window.png</image>"
                            "<image>https://kestrun.test/home/screenshots/editor.png</image>")
    string(FIND "${text}" "${expected}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "with KESTRUN_HOME_URL ${home}, the metainfo lacks ${expected}")
    endif()
  endforeach()
  string(REGEX MATCHALL "https?://[^<\"]*" addresses "${text}")
  foreach(address IN LISTS addresses)
    if(NOT address MATCHES "^https://kestrun.test/home")
      message(FATAL_ERROR "the metainfo has an address not under the home page: ${address}")
    endif()
  endforeach()
endforeach()
message(STATUS "metainfo addresses follow KESTRUN_HOME_URL")
