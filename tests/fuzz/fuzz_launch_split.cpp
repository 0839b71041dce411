// Any bytes as a command line, a root and a label: substitution and the split
// into program and arguments. A label without quotes or blanks must land
// inside one argument and never create one of its own.
#include <cstddef>
#include <cstdint>
#include <string>

#include <QProcess>
#include <QString>

#include "engine/modGeneral.h"

namespace {

QStringList split(const std::string& command) {
  return QProcess::splitCommand(QString::fromStdString(command));
}

// Printable ASCII without quotes: nothing the splitter treats as a separator
// or a grouping mark.
bool plain(std::string_view text) {
  for (const char c : text) {
    if (c <= ' ' || c > '~' || c == '"') return false;
  }
  return !text.empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto cut = input.find('\x01');
  const auto command = input.substr(0, cut);
  const auto label = cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1);

  const auto arguments = split(modGeneral::substitute_placeholders(command, "E:\\", label));
  if (plain(label)) {
    const auto reference = split(modGeneral::substitute_placeholders(command, "E:\\", "x"));
    if (arguments.size() != reference.size()) __builtin_trap();
  }
  return 0;
}
