// AtomicFile: an unnamed (O_TMPFILE) or locked named scratch file in the target's folder, fsync,
// link and rename, fsync of the folder; the sweep of scratch names left by a crash.
#include "base/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "base/folder.h"
#include "base/io.h"
#include "base/random.h"
#include "base/unique_fd.h"

namespace lyr::base {
namespace {

// Length of the random part of a scratch name (mkostemp's six characters).
constexpr size_t kRandomLength = 6;

// The folder part of path ("." when there is none, "/" for a file in the root).
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Scratch names are hidden and sit next to the target so that rename stays within one file
// system: ".<name>.tmp-" and six letters or digits.
std::string ScratchPrefix(const std::string& path) {
  return "." + NameOf(path) + ".tmp-";
}

bool IsScratchName(std::string_view entry, std::string_view prefix) {
  if (entry.size() != prefix.size() + kRandomLength || !entry.starts_with(prefix)) {
    return false;
  }
  for (const char c : entry.substr(prefix.size())) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
      return false;
    }
  }
  return true;
}

// Six random lower-case hexadecimal digits; "" when the kernel gives no random bytes.
std::string RandomSuffix() {
  unsigned char bytes[kRandomLength / 2];
  if (!RandomBytes(bytes, sizeof bytes)) {
    return {};
  }
  constexpr char kDigits[] = "0123456789abcdef";
  std::string suffix;
  for (const unsigned char byte : bytes) {
    suffix += kDigits[byte >> 4];
    suffix += kDigits[byte & 0x0F];
  }
  return suffix;
}

// The permission bits open gives a new file: 0666 less the umask, read without changing it.
uint32_t CreationMode() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("Umask:")) {
      return 0666 & ~static_cast<uint32_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    }
  }
  return 0644;
}

// Deletes the scratch files of target in folder that no live writer holds locked. Errors are
// ignored: a leftover that cannot be deleted now is tried again by the next writer.
void SweepScratchFiles(const std::string& folder, const std::string& prefix) noexcept {
  const UniqueFd folder_fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder_fd.Get() < 0) {
    return;
  }
  const int dir_fd = folder_fd.Get();
  for (const std::string& name : FolderEntryNames(dir_fd)) {
    if (!IsScratchName(name, prefix)) {
      continue;
    }
    const UniqueFd fd(
        ::openat(dir_fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0) {
      continue;
    }
    struct stat open {};
    struct stat on_disk {};
    if (::fstat(fd.Get(), &open) == 0 && S_ISREG(open.st_mode) && open.st_uid == ::geteuid() &&
        ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(dir_fd, name.c_str(), &on_disk, AT_SYMLINK_NOFOLLOW) == 0 &&
        on_disk.st_dev == open.st_dev && on_disk.st_ino == open.st_ino) {
      ::unlinkat(dir_fd, name.c_str(), 0);
    }
  }
}

}  // namespace

int SyncFolder(const std::string& folder) noexcept {
  const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Get() < 0) {
    return errno;
  }
  // Some file systems cannot sync a folder; the data itself is already on disk then.
  if (::fsync(fd.Get()) != 0 && errno != EINVAL && errno != EROFS) {
    return errno;
  }
  return 0;
}

int AtomicFile::Open(std::string path, uint32_t mode) {
  path_ = std::move(path);
  folder_ = FolderOf(path_);
  SweepScratchFiles(folder_, ScratchPrefix(path_));
  const bool by_umask = mode == kCreationMode;
  const auto bits = static_cast<mode_t>(by_umask ? 0666 : (mode & 07777));
  const int fd = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, bits);
  if (fd < 0) {
    // No unnamed files on this file system (or kernel): a named, locked scratch file.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
      return errno;
    }
    return OpenNamed(by_umask ? CreationMode() : bits);
  }
  fd_ = fd;
  unnamed_ = true;
  // open applied the umask; explicit bits are set exactly. The lock covers the name Commit
  // links in, until the rename.
  if ((!by_umask && ::fchmod(fd_, bits) != 0) || ::flock(fd_, LOCK_EX) != 0) {
    const int error = errno;
    CloseFile();
    return error;
  }
  return 0;
}

int AtomicFile::OpenNamed(uint32_t mode) {
  const std::string prefix = folder_ + "/" + ScratchPrefix(path_);
  for (;;) {
    std::string pattern = prefix + "XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
      return errno;
    }
    struct stat open {};
    struct stat on_disk {};
    const bool ours = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &open) == 0 &&
                      ::lstat(pattern.c_str(), &on_disk) == 0 && open.st_ino == on_disk.st_ino &&
                      open.st_dev == on_disk.st_dev;
    if (!ours) {
      ::close(fd);  // another writer's sweep took it for a leftover: a new name
      continue;
    }
    fd_ = fd;
    temp_path_ = std::move(pattern);
    if (::fchmod(fd_, static_cast<mode_t>(mode & 07777)) != 0) {
      const int error = errno;
      CloseFile();
      ::unlink(temp_path_.c_str());
      temp_path_.clear();
      return error;
    }
    return 0;
  }
}

AtomicFile::~AtomicFile() {
  if (!committed_ && !temp_path_.empty()) {
    ::unlink(temp_path_.c_str());
  }
  CloseFile();
}

void AtomicFile::CloseFile() noexcept {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

int AtomicFile::Write(std::string_view bytes) noexcept {
  return WriteAll(fd_, bytes);
}

int AtomicFile::WriteAt(uint64_t offset, std::string_view bytes) noexcept {
  return WriteAllAt(fd_, bytes, offset);
}

// Gives the unnamed file a scratch name: through /proc/self/fd (any user), else AT_EMPTY_PATH
// (needs CAP_DAC_READ_SEARCH). rename cannot take an unnamed file, and linkat cannot replace.
int AtomicFile::LinkUnnamed() {
  const std::string proc = "/proc/self/fd/" + std::to_string(fd_);
  for (;;) {
    const std::string suffix = RandomSuffix();
    if (suffix.empty()) {
      return EAGAIN;
    }
    const std::string name = folder_ + "/" + ScratchPrefix(path_) + suffix;
    int rc = ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
    if (rc != 0 && errno == ENOENT) {
      rc = ::linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
    }
    if (rc == 0) {
      temp_path_ = name;
      return 0;
    }
    if (errno != EEXIST) {
      return errno;
    }
  }
}

int AtomicFile::Commit(bool sync_folder) {
  if (::fsync(fd_) != 0) {
    return errno;
  }
  if (unnamed_ && temp_path_.empty()) {
    if (const int error = LinkUnnamed(); error != 0) {
      return error;
    }
  }
  if (::rename(temp_path_.c_str(), path_.c_str()) != 0) {
    return errno;
  }
  committed_ = true;
  const int rc = ::close(fd_);  // also releases the lock, now that no scratch name is left
  fd_ = -1;
  if (rc != 0) {
    return errno;
  }
  return sync_folder ? SyncFolder(folder_) : 0;
}

}  // namespace lyr::base
