// SPDX-License-Identifier: MIT
// Any bytes as a command line and a label: substitution, then the launcher's
// split into program and arguments. For valid UTF-8 the split must agree with
// QProcess::splitCommand, and a label without quotes or blanks must land
// inside one argument and never create one of its own.
#include <QProcess>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/script.h"
#include "platform/linux/launcher.h"

namespace {

using kestrun::platform::split_command;

// Printable ASCII without quotes: nothing the splitter treats as a separator
// or a grouping mark.
bool plain(std::string_view text) {
  for (const char c : text) {
    if (c <= ' ' || c > '~' || c == '"') return false;
  }
  return !text.empty();
}

bool valid_utf8(const std::string& text) {
  const auto round_trip = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  return round_trip.toStdString() == text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto cut = input.find('\x01');
  const auto command = input.substr(0, cut);
  const auto label = cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1);

  const auto substituted = modGeneral::substitute_placeholders(command, "E:\\", label);
  const auto words = split_command(substituted);
  if (valid_utf8(substituted)) {
    const auto qt_words = QProcess::splitCommand(QString::fromStdString(substituted));
    if (static_cast<qsizetype>(words.size()) != qt_words.size()) __builtin_trap();
    for (std::size_t i = 0; i < words.size(); ++i) {
      if (QString::fromStdString(words[i]) != qt_words[static_cast<qsizetype>(i)]) __builtin_trap();
    }
  }
  if (plain(label)) {
    const auto reference = split_command(modGeneral::substitute_placeholders(command, "E:\\", "x"));
    if (words.size() != reference.size()) __builtin_trap();
  }
  return 0;
}
