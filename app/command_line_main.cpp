// SPDX-License-Identifier: MIT
// kestrun: with arguments the command line, without them the window program
// installed beside it. Links no display library, so a headless machine needs
// none.
#include <cstdio>
#include <string>

#include "app/command_line_program.h"
#include "platform/window_program.h"

namespace {

// As a shell reports a command it cannot find.
constexpr int kExitNoWindowProgram = 127;

int open_window(char* argv[]) {
  std::string error;
  if (kestrun::platform::open_window_program(argv, &error)) return 0;
  std::fprintf(stderr,
               "kestrun: cannot open the window: %s\n"
               "The command line works without it: try 'kestrun --help'.\n",
               error.c_str());
  return kExitNoWindowProgram;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc <= 1) return open_window(argv);
  return kestrun::app::run_command_line_program(argc, argv);
}
