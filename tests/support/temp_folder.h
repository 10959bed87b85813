// A folder of its own under the system's temporary folder, removed with everything in it when the
// object goes; tests that write files use one each so parallel runs never meet.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include "foundation/secure_random.h"

namespace tvx::testing {

class TempFolder {
 public:
  // `prefix` starts the folder's name; 16 random hex digits follow.
  explicit TempFolder(const std::string& prefix) {
    unsigned char random[8] = {};
    SecureRandomBytes(random, sizeof random);
    std::string name = prefix;
    for (unsigned char b : random) name += "0123456789abcdef"[b & 15];
    path_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace tvx::testing
