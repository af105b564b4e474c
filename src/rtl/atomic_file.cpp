// AtomicFile: temporary file in the target's folder, fsync, rename, fsync of the folder.
#include "rtl/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "rtl/errors.h"
#include "rtl/file_utils.h"

namespace lyr::rtl {
namespace {

// The folder part of path ("." when there is none, "/" for a file in the root).
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The temporary name: hidden, next to the target so that rename stays within one file system.
std::string TempPatternFor(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return folder + "." + name + ".tmp-XXXXXX";
}

// Makes the rename durable: the new directory entry reaches the disk with the folder.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    RaiseLastOSError();
  }
  const int rc = ::fsync(fd);
  const int error = errno;
  ::close(fd);
  // Some file systems cannot sync a folder; the data itself is already on disk then.
  if (rc != 0 && error != EINVAL && error != EROFS) {
    RaiseOSError(error);
  }
}

}  // namespace

AtomicFile::AtomicFile(std::string path, uint32_t mode) : path_(NativePath(path)) {
  std::string pattern = TempPatternFor(path_);
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) {
    RaiseLastOSError();
  }
  fd_ = fd;
  temp_path_ = std::move(pattern);
  if (::fchmod(fd_, static_cast<mode_t>(mode & 07777)) != 0) {
    const int error = errno;
    CloseFile();
    ::unlink(temp_path_.c_str());
    RaiseOSError(error);
  }
}

AtomicFile::~AtomicFile() {
  CloseFile();
  if (!committed_ && !temp_path_.empty()) {
    ::unlink(temp_path_.c_str());
  }
}

void AtomicFile::CloseFile() noexcept {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

void AtomicFile::Write(std::string_view bytes) {
  Assert(!committed_ && fd_ >= 0, "AtomicFile.Write after Commit", "atomic_file");
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      RaiseLastOSError();
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

void AtomicFile::Commit() {
  Assert(!committed_ && fd_ >= 0, "AtomicFile.Commit called twice", "atomic_file");
  if (::fsync(fd_) != 0) {
    RaiseLastOSError();
  }
  const int rc = ::close(fd_);
  fd_ = -1;
  if (rc != 0) {
    RaiseLastOSError();
  }
  if (::rename(temp_path_.c_str(), path_.c_str()) != 0) {
    RaiseLastOSError();
  }
  committed_ = true;
  SyncFolder(FolderOf(path_));
}

void WriteFileAtomically(const std::string& path, std::string_view bytes, uint32_t mode) {
  AtomicFile file(path, mode);
  file.Write(bytes);
  file.Commit();
}

}  // namespace lyr::rtl
