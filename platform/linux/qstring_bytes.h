// SPDX-License-Identifier: MIT
// Bytes through QString and back unchanged: Linux names files and passes
// arguments as bytes, which need not be UTF-8.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace kestrun::platform {

/// `bytes` as text: valid UTF-8 as its characters, every other byte as the
/// lone surrogate U+DC80 to U+DCFF.
QString decode_keeping_bytes(std::string_view bytes);

/// The bytes that decode_keeping_bytes() made `text` from.
std::string encode_keeping_bytes(const QString& text);

}  // namespace kestrun::platform
