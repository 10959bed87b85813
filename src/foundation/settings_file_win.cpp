#include <windows.h>

#include "foundation/settings_file.h"

namespace tvx {
namespace {

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    if (handle_ == INVALID_HANDLE_VALUE) return true;
    const BOOL ok = ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return ok != FALSE;
  }

 private:
  HANDLE handle_;
};

}  // namespace

bool ReadSettingsFile(const std::wstring& path, std::size_t maxBytes, std::string& bytes) {
  bytes.clear();
  FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) return false;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size)) return false;
  if (size.QuadPart <= 0 || static_cast<unsigned long long>(size.QuadPart) > maxBytes) return false;
  const auto total = static_cast<std::size_t>(size.QuadPart);
  bytes.resize(total);
  std::size_t got = 0;
  while (got < total) {
    DWORD n = 0;
    if (!::ReadFile(file.get(), bytes.data() + got, static_cast<DWORD>(total - got), &n, nullptr)) {
      bytes.clear();
      return false;
    }
    if (n == 0) break;  // the file shrank meanwhile: use what is there
    got += n;
  }
  bytes.resize(got);
  return got > 0;
}

bool ReplaceSettingsFile(const std::wstring& path, std::string_view bytes) {
  if (path.empty() || bytes.size() > MAXDWORD) return false;
  const std::wstring temp = path + L".tmp";
  FileHandle file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  DWORD written = 0;
  const BOOL wrote = ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  const bool complete = wrote != FALSE && written == bytes.size();
  // The data must be on the disk before the move, or a power loss could leave an empty file.
  const bool flushed = complete && ::FlushFileBuffers(file.get()) != FALSE;
  const bool closed = file.Close();
  if (!complete || !flushed || !closed ||
      !::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ::DeleteFileW(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace tvx
