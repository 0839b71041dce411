// SPDX-License-Identifier: MIT
// The per-user key/value store and the values Kestrun keeps in it.
#pragma once

#include <string>
#include <string_view>

namespace modGeneral {

inline constexpr std::string_view kAppName = "Kestrun";
inline constexpr std::string_view kSettingsSection = "Settings";

/// Every stored value, with its default when absent. Stored forms: Interval is
/// the interval box's text verbatim, Advanced the whole script, Auto,
/// Minimise, Notify and Mount (the tray menu's check items) "0" or "1".
struct SettingKey {
  std::string_view name;
  std::string_view default_value;
};
inline constexpr SettingKey kInterval{"Interval", "10"};
inline constexpr SettingKey kAdvanced{"Advanced", ""};
inline constexpr SettingKey kAuto{"Auto", "0"};
inline constexpr SettingKey kMinimise{"Minimise", "0"};
inline constexpr SettingKey kNotify{"Notify", "1"};
inline constexpr SettingKey kMount{"Mount", "0"};

/// Why the store as a whole cannot be used. A store that does not exist yet
/// has no problem: it is a first run.
struct StoreProblem {
  enum class Kind {
    none,
    unreadable,  // it exists but cannot be read
    insecure,    // another user could change it, so it is not used
  };
  Kind kind = Kind::none;
  /// Names the store and says why, for the user: "cannot read the settings
  /// 'PATH': REASON".
  std::string message;

  explicit operator bool() const { return kind != Kind::none; }
};

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  /// The stored text, or `default_value` when the key is absent or the store
  /// cannot be used (see problem()). Every call sees the store as it is now.
  virtual std::string read(std::string_view app, std::string_view section, std::string_view key,
                           std::string_view default_value) = 0;

  /// Creates or replaces the value at once. On failure returns false and sets
  /// `error` to the system's reason; the caller still holds the text.
  virtual bool write(std::string_view app, std::string_view section, std::string_view key,
                     std::string_view value, std::string* error) = 0;

  /// The store's problem as the last read or write found it (as it is now,
  /// before any); while there is one, reads give the defaults and writes fail
  /// without touching it.
  virtual StoreProblem problem() { return {}; }

  std::string read(const SettingKey& key) {
    return read(kAppName, kSettingsSection, key.name, key.default_value);
  }
  bool write(const SettingKey& key, std::string_view value, std::string* error) {
    return write(kAppName, kSettingsSection, key.name, value, error);
  }
};

}  // namespace modGeneral
