// SPDX-License-Identifier: MIT
#include "platform/linux/qstring_bytes.h"

#include "engine/text_bytes.h"

namespace kestrun::platform {

namespace {

// Valid UTF-8 never decodes to a lone low surrogate, and Qt's text functions
// (the command splitter, the option parser) treat one as an ordinary character.
constexpr char16_t kEscapeBase = 0xDC00;

}  // namespace

QString decode_keeping_bytes(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  while (!bytes.empty()) {
    const auto length = modGeneral::utf8_sequence_length(bytes);
    if (length == 0) {
      text.append(QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[0]))));
      bytes.remove_prefix(1);
    } else {
      text.append(QString::fromUtf8(bytes.data(), static_cast<qsizetype>(length)));
      bytes.remove_prefix(length);
    }
  }
  return text;
}

std::string encode_keeping_bytes(const QString& text) {
  std::string bytes;
  qsizetype run_start = 0;
  const auto flush = [&](qsizetype end) {
    if (end > run_start) bytes.append(text.mid(run_start, end - run_start).toStdString());
  };
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t unit = text.at(i).unicode();
    const bool escaped = unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF &&
                         (i == 0 || !text.at(i - 1).isHighSurrogate());
    if (!escaped) continue;
    flush(i);
    bytes.push_back(static_cast<char>(unit - kEscapeBase));
    run_start = i + 1;
  }
  flush(text.size());
  return bytes;
}

}  // namespace kestrun::platform
