// SPDX-License-Identifier: MIT
// Any bytes as a detection script: the validate walk, a poll and a menu pass on
// a small machine, and the reading operations at every kind of position.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/detection.h"
#include "engine/drives.h"
#include "engine/script.h"
#include "tests/fakes/fake_machine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string script(reinterpret_cast<const char*>(data), size);
  kestrun::testing::FakeWorld world;
  world.machine.plug("C:\\", "SYSTEM", modGeneral::kDriveFixed);
  world.machine.plug("E:\\", "PEN");
  world.machine.set_location("E:\\", "/media/pen", "/dev/sdb1", "uuid:2F1C-9A7B");
  world.machine.plug("F:\\", "");
  world.store_script(script);

  const auto report = modGeneral::run_detection(world.context, modGeneral::Mode::validate, script);
  if (script.empty() != report.empty()) __builtin_trap();
  modGeneral::run_detection(world.context, modGeneral::Mode::poll);
  modGeneral::run_detection(world.context, modGeneral::Mode::menu);

  for (std::size_t at : {std::size_t{0}, std::size_t{1}, size / 2, size, size + 1, size + 100}) {
    const auto value = modGeneral::read_line_value(script, at);
    if (!value.empty() && (value.front() == ' ' || value.back() == ' ')) __builtin_trap();
  }
  modGeneral::get_ignore_list(script);
  modGeneral::substitute_placeholders(script, "E:\\", script);
  modGeneral::find_drive_for_label(script, "PEN");
  modGeneral::find_drive_for_label(script, "(any)");
  const auto roots = modGeneral::get_drive_strings(world.machine);
  const auto kept = modGeneral::remove_ignored_roots(roots, script);
  if (kept.size() > roots.size() || kept.size() % 4 != roots.size() % 4) __builtin_trap();
  return 0;
}
