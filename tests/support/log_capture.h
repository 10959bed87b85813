// Collects the log's messages while alive, so tests can check the texts the program logs.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tvx::testing {

class LogCapture {
 public:
  struct Entry {
    std::uint32_t level;
    std::wstring message;
  };

  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<Entry> Entries() const;
  // True when some message contains `fragment`.
  bool Contains(const std::wstring& fragment) const;
  // Messages that contain `fragment`.
  std::size_t Count(const std::wstring& fragment) const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

}  // namespace tvx::testing
