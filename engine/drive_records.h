// SPDX-License-Identifier: MIT
// The two record formats drives travel in: the drive root list that
// get_drive_strings() gives and the snapshot that get_labelled_drives()
// builds. Everything that reads either walks it through these.
#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

namespace modGeneral {

inline constexpr std::size_t kRootSize = 3;        ///< "E:\"
inline constexpr std::size_t kRootRecordSize = 4;  ///< a root and its NUL

/// The records of `text` in order, walked as `Format` says: where a record
/// ends, where the next starts and where the walk stops.
template <typename Format>
class Records {
 public:
  using Record = typename Format::Record;

  class Iterator {
   public:
    using value_type = Record;
    using difference_type = std::ptrdiff_t;

    Iterator() = default;
    explicit Iterator(std::string_view text) : text_(text) {}
    Record operator*() const { return Format::record(text_, at_); }
    Iterator& operator++() {
      at_ = Format::next(text_, at_);
      return *this;
    }
    Iterator operator++(int) {
      auto before = *this;
      ++*this;
      return before;
    }
    bool operator==(std::default_sentinel_t) const { return Format::done(text_, at_); }
    /// Where the walk stands: the bytes of the records already passed.
    std::size_t offset() const { return at_ < text_.size() ? at_ : text_.size(); }

   private:
    std::string_view text_;
    std::size_t at_ = 0;
  };

  explicit Records(std::string_view text) : text_(text) {}
  Iterator begin() const { return Iterator(text_); }
  std::default_sentinel_t end() const { return {}; }

  /// What follows the records: for a drive root list, its final NUL and
  /// anything after it.
  std::string_view tail() const {
    auto at = begin();
    while (at != end()) ++at;
    return text_.substr(at.offset());
  }

 private:
  std::string_view text_;
};

/// One record of a drive root list.
struct RootRecord {
  std::string_view bytes;  ///< "E:\" and its NUL; shorter when the list ends early
  std::string_view root() const { return bytes.substr(0, kRootSize); }
};

/// A drive root list: "E:\" and a NUL per record, then one more NUL. The walk
/// ends at a record that starts with a NUL or at the end of the text; a last
/// record cut short by the end gives what it holds.
struct RootListFormat {
  using Record = RootRecord;
  static Record record(std::string_view text, std::size_t at) {
    return {text.substr(at, kRootRecordSize)};
  }
  static std::size_t next(std::string_view, std::size_t at) { return at + kRootRecordSize; }
  static bool done(std::string_view text, std::size_t at) {
    return at >= text.size() || text[at] == '\0';
  }
};
using RootRecords = Records<RootListFormat>;

/// One record of a drive snapshot, without its NUL.
struct SnapshotRecord {
  std::string_view text;  ///< "E:\ LABEL"
  /// Whether it is long enough to hold a root and the space after it.
  bool whole() const { return text.size() > kRootSize; }
  std::string_view root() const { return text.substr(0, kRootSize); }
  /// What follows the root and its space; empty unless whole().
  std::string_view label() const {
    return whole() ? text.substr(kRootSize + 1) : std::string_view();
  }
};

/// A drive snapshot: "E:\ LABEL" and a NUL per record. A last record without
/// its NUL still counts; two NULs in a row hold an empty record between them.
struct SnapshotFormat {
  using Record = SnapshotRecord;
  static Record record(std::string_view text, std::size_t at) {
    return {text.substr(at, record_end(text, at) - at)};
  }
  static std::size_t next(std::string_view text, std::size_t at) {
    return record_end(text, at) + 1;
  }
  static bool done(std::string_view text, std::size_t at) { return at >= text.size(); }

 private:
  static std::size_t record_end(std::string_view text, std::size_t at) {
    const auto nul = text.find('\0', at);
    return nul == std::string_view::npos ? text.size() : nul;
  }
};
using SnapshotRecords = Records<SnapshotFormat>;

}  // namespace modGeneral
