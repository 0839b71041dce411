# SPDX-License-Identifier: MIT
# One warning set for every target of ours; KESTRUN_WERROR turns it into errors (CI).
add_library(kestrun_warnings INTERFACE)
target_compile_options(kestrun_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual
  $<$<BOOL:${KESTRUN_WERROR}>:-Werror>)
