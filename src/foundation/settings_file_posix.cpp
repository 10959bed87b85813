#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "foundation/settings_file.h"
#include "foundation/text.h"

namespace tvx {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { Close(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  bool Close() {
    if (fd_ < 0) return true;
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
  }

 private:
  int fd_;
};

// Makes the rename itself durable; a failure here loses nothing, so it is ignored.
void SyncParentDirectory(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  FileDescriptor fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.valid()) ::fsync(fd.get());
}

}  // namespace

bool ReadSettingsFile(const std::wstring& path, std::size_t maxBytes, std::string& bytes) {
  bytes.clear();
  const std::string name = WideToUtf8(path);
  FileDescriptor fd(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd.valid()) return false;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if (info.st_size <= 0 || static_cast<unsigned long long>(info.st_size) > maxBytes) return false;
  const auto size = static_cast<std::size_t>(info.st_size);
  bytes.resize(size);
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd.get(), bytes.data() + got, size - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      bytes.clear();
      return false;
    }
    if (n == 0) break;  // the file shrank meanwhile: use what is there
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  return got > 0;
}

bool ReplaceSettingsFile(const std::wstring& path, std::string_view bytes) {
  if (path.empty()) return false;
  const std::string name = WideToUtf8(path);
  const std::string temp = name + ".tmp";
  FileDescriptor fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!fd.valid()) return false;
  ssize_t written = -1;
  do {
    written = ::write(fd.get(), bytes.data(), bytes.size());
  } while (written < 0 && errno == EINTR);
  const bool complete = written >= 0 && static_cast<std::size_t>(written) == bytes.size();
  // The data must be on the disk before the rename, or a power loss could leave an empty file.
  const bool synced = complete && ::fsync(fd.get()) == 0;
  const bool closed = fd.Close();
  if (!complete || !synced || !closed || ::rename(temp.c_str(), name.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  SyncParentDirectory(name);
  return true;
}

}  // namespace tvx
