// Reading the detection script: key search, line values, the ignore line and
// placeholder substitution. The script is never parsed into a structure.
#include <string>
#include <string_view>

#include "engine/modGeneral.h"

namespace modGeneral {

std::size_t find_key(std::string_view script, std::string_view key, std::size_t from) {
  if (from == 0) from = 1;
  if (from > script.size()) return 0;
  const auto at = script.find(key, from - 1);
  return at == std::string_view::npos ? 0 : at + 1;
}

std::string read_line_value(std::string_view script, std::size_t start) {
  if (start == 0) start = 1;
  if (start > script.size()) return {};
  auto value = script.substr(start - 1);
  const auto line_end = value.find("\r\n");
  if (line_end != std::string_view::npos) value = value.substr(0, line_end);

  const auto first = value.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = value.find_last_not_of(' ');
  return std::string(value.substr(first, last - first + 1));
}

std::string get_ignore_list(std::string_view script) {
  const auto at = find_key(script, kIgnoreKey, 1);
  if (at == 0) return {};
  return read_line_value(script, at + kIgnoreKey.size());
}

namespace {

std::string replace_all(std::string_view text, std::string_view what, std::string_view with) {
  std::string result;
  result.reserve(text.size());
  std::size_t from = 0;
  for (auto at = text.find(what); at != std::string_view::npos; at = text.find(what, from)) {
    result.append(text.substr(from, at - from)).append(with);
    from = at + what.size();
  }
  result.append(text.substr(from));
  return result;
}

}  // namespace

std::string substitute_placeholders(std::string_view command, std::string_view root,
                                    std::string_view label) {
  // The order matters: a "%3" that arrives with the label is filled in as well.
  auto result = replace_all(command, "%1", root);
  result = replace_all(result, "%2", label);
  return replace_all(result, "%3", root.substr(0, 1));
}

}  // namespace modGeneral
