# SPDX-License-Identifier: MIT
# The AppStream metainfo's addresses, all from KESTRUN_HOME_URL: the home page
# itself, and the screenshots under <home page>/screenshots/, where a packager
# publishes docs/main-window.png and docs/editor.png.
function(kestrun_configure_metainfo source home_url output)
  set(KESTRUN_HOME_URL "${home_url}")
  string(REGEX REPLACE "/+$" "" base "${home_url}")
  set(KESTRUN_SCREENSHOTS_URL "${base}/screenshots")
  configure_file("${source}" "${output}" @ONLY)
endfunction()
