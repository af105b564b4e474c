// Maildir folders: claiming by rename under a file lock.
#include "maildir.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "rtl/errors.h"
#include "rtl/free_with.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

constexpr std::string_view kInfo = ":2,";

enum class Opening { kLocked, kBusy, kGone, kNotAFile };

// Opens the file at path for reading and locks it: kBusy when another process holds the lock,
// kNotAFile for what is no regular file or cannot be opened.
Opening OpenLocked(const std::string& path, base::UniqueFd& fd) {
  fd.Reset(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (fd.Get() < 0) {
    return errno == ENOENT ? Opening::kGone : Opening::kNotAFile;
  }
  struct stat status {};
  if (::fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    fd.Reset();
    return Opening::kNotAFile;
  }
  if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
    fd.Reset();
    return Opening::kBusy;
  }
  return Opening::kLocked;
}

// True when path still names the file open at fd.
bool StillNamed(int fd, const std::string& path) {
  struct stat open {};
  struct stat named {};
  return ::fstat(fd, &open) == 0 && ::lstat(path.c_str(), &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

}  // namespace

std::string InFolder(const std::string& folder, std::string_view name) {
  return folder + "/" + std::string(name);
}

void RaiseFileError(const std::string& what, const std::string& path) {
  const int code = errno;
  throw rtl::Exception(what + " " + Escaped(FromTerminal(path)) + ": " + std::strerror(code));
}

void MakeMaildir(const std::string& root) {
  for (const std::string& folder :
       {root, InFolder(root, "tmp"), InFolder(root, "new"), InFolder(root, "cur")}) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
      RaiseFileError("cannot create the folder", folder);
    }
  }
}

std::vector<std::string> EntryNames(const std::string& folder) {
  const std::unique_ptr<DIR, rtl::FreeWith<&::closedir>> dir(::opendir(folder.c_str()));
  if (!dir) {
    RaiseFileError("cannot read the folder", folder);
  }
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir.get())) {
    if (entry->d_name[0] != '.') {
      names.emplace_back(entry->d_name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

void SyncFolder(const std::string& folder) {
  const base::UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Get() < 0 || ::fsync(fd.Get()) != 0) {
    RaiseFileError("cannot flush the folder", folder);
  }
}

MaildirName MaildirName::Of(const std::string& name) {
  const size_t info = name.rfind(kInfo);
  if (info == std::string::npos) {
    return {name, {}};
  }
  return {name.substr(0, info), name.substr(info + kInfo.size())};
}

std::string MaildirName::With(const std::string& more_flags) const {
  std::string all = flags + more_flags;
  std::sort(all.begin(), all.end());
  all.erase(std::unique(all.begin(), all.end()), all.end());
  return unique + std::string(kInfo) + all;
}

HeldMessage::HeldMessage(base::UniqueFd fd, std::string path)
    : fd_(std::move(fd)),
      path_(std::move(path)),
      name_(MaildirName::Of(path_.substr(path_.rfind('/') + 1))) {}

std::string HeldMessage::ReadPath() const {
  return "/proc/self/fd/" + std::to_string(fd_.Get());
}

void HeldMessage::MoveTo(const std::string& path) {
  if (::rename(path_.c_str(), path.c_str()) != 0) {
    RaiseFileError("cannot move the message", path_);
  }
  path_ = path;
  name_ = MaildirName::Of(path_.substr(path_.rfind('/') + 1));
}

std::optional<HeldMessage> ClaimNew(const std::string& root, const std::string& name) {
  const std::string from = InFolder(InFolder(root, "new"), name);
  const std::string to = InFolder(InFolder(root, "cur"), MaildirName::Of(name).With("S"));
  base::UniqueFd fd;
  const Opening opening = OpenLocked(from, fd);
  if (opening == Opening::kBusy || opening == Opening::kGone) {
    return std::nullopt;
  }
  if (::rename(from.c_str(), to.c_str()) != 0) {
    if (errno == ENOENT) {
      return std::nullopt;  // another process took it first
    }
    RaiseFileError("cannot claim the message", from);
  }
  SyncFolder(InFolder(root, "cur"));
  return HeldMessage(std::move(fd), to);
}

std::optional<HeldMessage> TakeOver(const std::string& root, const std::string& name) {
  const std::string path = InFolder(InFolder(root, "cur"), name);
  base::UniqueFd fd;
  if (OpenLocked(path, fd) != Opening::kLocked || !StillNamed(fd.Get(), path)) {
    return std::nullopt;
  }
  return HeldMessage(std::move(fd), path);
}

}  // namespace lyr::tool
