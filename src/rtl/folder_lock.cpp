// FolderLock: an flock on "<folder>.lock" marks a scratch folder as in use; the sweep removes the
// folders whose lock nobody holds.
#include "rtl/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <utility>

#include "base/folder.h"
#include "base/unique_fd.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/identifiers.h"
#include "rtl/trace.h"

namespace lyr::rtl {
namespace {

using base::UniqueFd;

// The lock file's contents: a sweep deletes only lock files that carry it.
constexpr std::string_view kMark = "lyr folder lock\n";
constexpr std::string_view kLockSuffix = ".lock";
// CreateLockedFolder's unique part: NewFileId, 32 lower-case hexadecimal characters.
constexpr size_t kIdLength = 32;

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) {
    path.pop_back();
  }
  return path;
}

// True when the name at (folder, name) is, without following a link, the file open as fd. A
// sweep that found the lock file stale unlinks it; whoever locked the old file then holds a lock
// on nothing and must start again.
bool SameFile(int folder, const char* name, int fd) {
  struct stat on_disk {};
  struct stat open {};
  return ::fstatat(folder, name, &on_disk, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &open) == 0 &&
         on_disk.st_dev == open.st_dev && on_disk.st_ino == open.st_ino;
}

bool WriteMark(int fd) {
  return ::write(fd, kMark.data(), kMark.size()) == static_cast<ssize_t>(kMark.size());
}

// What a sweep finds in a lock file of the name CreateLockedFolder gives.
enum class LockFile : uint8_t {
  Foreign,  // not provably ours: left alone
  Marked,   // ours, with the mark
  Unmarked  // ours and empty: its maker died before writing the mark, so before the folder
};

LockFile KindOf(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    return LockFile::Foreign;
  }
  if (st.st_size == 0) {
    return LockFile::Unmarked;
  }
  char buffer[kMark.size()];
  const bool marked =
      st.st_size == static_cast<off_t>(kMark.size()) &&
      ::pread(fd, buffer, sizeof(buffer), 0) == static_cast<ssize_t>(sizeof(buffer)) &&
      std::string_view(buffer, sizeof(buffer)) == kMark;
  return marked ? LockFile::Marked : LockFile::Foreign;
}

bool IsLowerHex(std::string_view text) {
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
      return false;
    }
  }
  return true;
}

// A folder name CreateLockedFolder makes with prefix (both as the file system names them).
bool IsOurFolderName(std::string_view name, std::string_view prefix) {
  return name.size() == prefix.size() + kIdLength && name.starts_with(prefix) &&
         IsLowerHex(name.substr(prefix.size()));
}

// Removes the folder base of parent and then its lock file when the lock file is ours and nobody
// holds its lock.
void SweepOne(int parent, const std::string& library_parent, const std::string& base) {
  const std::string lock_name = base + std::string(kLockSuffix);
  const UniqueFd lock(
      ::openat(parent, lock_name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  const LockFile kind = lock.Get() < 0 ? LockFile::Foreign : KindOf(lock.Get());
  if (kind == LockFile::Foreign) {
    return;  // no lock file, a link or not ours: not provably a leftover
  }
  if (::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0) {
    return;  // a live process holds it
  }
  if (!SameFile(parent, lock_name.c_str(), lock.Get())) {
    return;  // another sweep removed it meanwhile
  }
  struct stat st {};
  if (::fstatat(parent, base.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (kind != LockFile::Marked || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
      return;  // not a folder of ours: left alone together with its lock file
    }
    const std::string folder = CombinePath(library_parent, LibraryPath(base));
    if (!DeleteDirectoryTree(folder)) {
      DebugLog("SweepStaleFolders: folder not deleted completely: %s", folder);
      return;
    }
  } else if (errno != ENOENT) {
    return;
  }
  ::unlinkat(parent, lock_name.c_str(), 0);
}

}  // namespace

FolderLock::FolderLock(std::string folder) : folder_(std::move(folder)) {
  const std::string lock_path =
      NativePath(WithoutTrailingSlashes(folder_)) + std::string(kLockSuffix);
  for (;;) {
    UniqueFd fd(::open(lock_path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.Get() < 0) {
      RaiseLastOSError();
    }
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
      RaiseLastOSError();
    }
    if (!SameFile(AT_FDCWD, lock_path.c_str(), fd.Get())) {
      continue;  // swept between open and flock: make it anew
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
      RaiseLastOSError();
    }
    if (st.st_size == 0 && !WriteMark(fd.Get())) {
      RaiseLastOSError();
    }
    fd_ = fd.Release();
    return;
  }
}

FolderLock::~FolderLock() {
  Remove();
}

FolderLock::FolderLock(FolderLock&& other) noexcept
    : folder_(std::move(other.folder_)), fd_(std::exchange(other.fd_, -1)) {
  other.folder_.clear();
}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
  if (this != &other) {
    Remove();
    folder_ = std::move(other.folder_);
    other.folder_.clear();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

bool FolderLock::Remove() noexcept {
  if (fd_ < 0) {
    return true;
  }
  const std::string folder = WithoutTrailingSlashes(folder_);
  bool gone = true;
  try {
    gone = DeleteDirectoryTree(folder) || (!FileExists(folder) && !DirectoryExists(folder));
    if (gone) {
      // A folder still there keeps its lock file, so a later sweep can finish the work.
      const std::string lock_path = NativePath(folder) + std::string(kLockSuffix);
      if (SameFile(AT_FDCWD, lock_path.c_str(), fd_)) {
        ::unlink(lock_path.c_str());
      }
    }
  } catch (...) {
    gone = false;
  }
  ::close(fd_);
  fd_ = -1;
  return gone;
}

FolderLock CreateLockedFolder(const std::string& parent, std::string_view prefix) {
  const std::string native_parent = NativePath(parent);
  const UniqueFd folder(::open(native_parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Get() < 0) {
    RaiseLastOSError();
  }
  const std::string native_prefix = NativePath(prefix);
  for (;;) {
    const std::string name = native_prefix + NewFileId();
    const std::string lock_name = name + std::string(kLockSuffix);
    UniqueFd lock(::openat(folder.Get(), lock_name.c_str(),
                           O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (lock.Get() < 0) {
      if (errno == EEXIST) {
        continue;
      }
      RaiseLastOSError();
    }
    const bool locked = ::flock(lock.Get(), LOCK_EX | LOCK_NB) == 0;
    if (!locked || !SameFile(folder.Get(), lock_name.c_str(), lock.Get())) {
      continue;  // a sweep took the fresh lock file for a leftover: try another name
    }
    if (!WriteMark(lock.Get())) {
      const int error = errno;
      ::unlinkat(folder.Get(), lock_name.c_str(), 0);
      RaiseOSError(error);
    }
    if (::mkdirat(folder.Get(), name.c_str(), 0700) != 0) {
      const int error = errno;
      ::unlinkat(folder.Get(), lock_name.c_str(), 0);
      if (error == EEXIST) {
        continue;
      }
      RaiseOSError(error);
    }
    // The umask may have taken bits away; the owner needs all three, nobody else any.
    if (::fchmodat(folder.Get(), name.c_str(), 0700, 0) != 0) {
      const int error = errno;
      ::unlinkat(folder.Get(), name.c_str(), AT_REMOVEDIR);
      ::unlinkat(folder.Get(), lock_name.c_str(), 0);
      RaiseOSError(error);
    }
    return FolderLock(CombinePath(parent, LibraryPath(name)), lock.Release());
  }
}

void SweepStaleFolders(const std::string& parent, std::string_view prefix) noexcept {
  try {
    const UniqueFd folder(::open(NativePath(parent).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() < 0) {
      return;
    }
    const std::string native_prefix = NativePath(prefix);
    // Names first, deletions after: deleting while reading the folder may skip or repeat
    // entries.
    std::set<std::string> bases;
    for (const std::string& entry : base::FolderEntryNames(folder.Get())) {
      std::string_view name = entry;
      if (name.ends_with(kLockSuffix)) {
        name.remove_suffix(kLockSuffix.size());
      }
      if (IsOurFolderName(name, native_prefix)) {
        bases.emplace(name);
      }
    }
    for (const std::string& base : bases) {
      SweepOne(folder.Get(), parent, base);
    }
  } catch (const std::exception& error) {
    DebugLog("SweepStaleFolders: %s", std::string(error.what()));
  }
}

}  // namespace lyr::rtl
