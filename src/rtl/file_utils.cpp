// File-system and path helpers over POSIX calls. Tree deletion works relative to open folder
// descriptors (openat/unlinkat with O_NOFOLLOW), so a link met in the tree, or a folder swapped
// for a link while the walk runs, is never followed out of the tree.
#include "rtl/file_utils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "base/folder.h"
#include "base/unique_fd.h"
#include "rtl/errors.h"
#include "rtl/str_utils.h"
#include "rtl/text.h"

namespace lyr::rtl {
namespace {

using base::UniqueFd;

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

std::string WithSlashes(std::string_view text) {
  std::string result(text);
  std::replace(result.begin(), result.end(), '\\', '/');
  return result;
}

// path without trailing "/" (a trailing slash would make the kernel follow a final link).
std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') {
    path.pop_back();
  }
  return path;
}

// Adds owner read, write and search to the folder name in parent without following a link.
bool MakeFolderAccessibleAt(int parent, const char* name, mode_t mode) {
  const mode_t wanted = (mode & 07777) | S_IRWXU;
  if (::fchmodat(parent, name, wanted, AT_SYMLINK_NOFOLLOW) == 0) {
    return true;
  }
  // Without /proc the C library cannot change modes without following links; the caller has
  // just seen a folder here, not a link.
  return (errno == EOPNOTSUPP || errno == ENOSYS) && ::fchmodat(parent, name, wanted, 0) == 0;
}

// Opens the folder name in parent (never through a link) so that its entries can be listed and
// deleted, making it accessible for the owner first when it is not. -1 on failure.
int OpenFolderForDeletion(int parent, const char* name) {
  constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  int fd = ::openat(parent, name, kFlags);
  if (fd < 0 && errno == EACCES) {
    struct stat st {};
    if (::fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
        MakeFolderAccessibleAt(parent, name, st.st_mode)) {
      fd = ::openat(parent, name, kFlags);
    }
  }
  if (fd < 0) {
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && (st.st_mode & S_IRWXU) != S_IRWXU) {
    ::fchmod(fd, (st.st_mode & 07777) | S_IRWXU);
  }
  return fd;
}

bool ClearFolder(int folder);

// Deletes the entry name of folder: a folder with everything below it, anything else (files,
// links, sockets) as it is.
bool DeleteEntry(int folder, const std::string& name) {
  struct stat st {};
  if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == ENOENT;  // gone meanwhile
  }
  if (!S_ISDIR(st.st_mode)) {
    return ::unlinkat(folder, name.c_str(), 0) == 0;
  }
  bool ok = true;
  {
    const UniqueFd sub(OpenFolderForDeletion(folder, name.c_str()));
    ok = sub.Get() >= 0 && ClearFolder(sub.Get());
  }
  return ::unlinkat(folder, name.c_str(), AT_REMOVEDIR) == 0 && ok;
}

bool ClearFolder(int folder) {
  // Names are collected first: deleting while the listing runs may skip entries.
  bool ok = true;
  for (const std::string& name : base::FolderEntryNames(folder)) {
    if (!DeleteEntry(folder, name)) {
      ok = false;
    }
  }
  return ok;
}

bool IsLink(const std::string& path) {
  struct stat st {};
  return ::lstat(NativePath(path).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

std::string NativePath(std::string_view path) {
  return AnsiToUtf8String(path);
}

std::string LibraryPath(std::string_view native) {
  return Utf8ToAnsi(native);
}

std::string IncludeTrailingBackslash(std::string_view path) {
  std::string result = Trim(path);
  if (!result.empty() && !IsSeparator(result.back())) {
    result += '/';
  }
  return result;
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool ForceDeleteFile(const std::string& path) {
  const std::string native = NativePath(path);
  struct stat st {};
  if (::lstat(native.c_str(), &st) != 0) {
    return false;
  }
  if (!S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0 &&
      ::fchmodat(AT_FDCWD, native.c_str(), (st.st_mode & 07777) | S_IWUSR, AT_SYMLINK_NOFOLLOW) !=
          0) {
    return false;
  }
  return ::unlink(native.c_str()) == 0;
}

bool ClearDirectory(const std::string& path) {
  if (path.empty()) {
    return true;
  }
  const std::string root = WithoutTrailingSlashes(path);
  const UniqueFd folder(OpenFolderForDeletion(AT_FDCWD, NativePath(root).c_str()));
  return folder.Get() >= 0 && ClearFolder(folder.Get());
}

bool DeleteDirectoryTree(const std::string& path) {
  if (path.empty()) {
    return true;
  }
  const std::string root = WithoutTrailingSlashes(path);
  if (IsLink(root)) {
    return ::unlink(NativePath(root).c_str()) == 0;
  }
  const bool cleared = ClearDirectory(root);
  return ::rmdir(NativePath(root).c_str()) == 0 && cleared;
}

bool ForceDirectories(std::string_view path) {
  const std::string text = WithSlashes(Trim(path));
  std::string current = StartsWithText(text, "/") ? "/" : "";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('/', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    if (end > start) {
      current += text.substr(start, end - start);
      if (!DirectoryExists(current) && ::mkdir(NativePath(current).c_str(), 0700) != 0 &&
          !(errno == EEXIST && DirectoryExists(current))) {
        return false;
      }
      current += '/';
    }
    start = end + 1;
  }
  return true;
}

std::string CombinePath(std::string_view directory, std::string_view name) {
  std::string dir = WithSlashes(Trim(directory));
  std::string file = WithSlashes(Trim(name));
  if (dir.empty() && file.empty()) {
    return {};
  }
  if (dir.size() > 1 && dir.back() == '/') {
    dir.pop_back();
  }
  if (!file.empty() && file.front() == '/') {
    file.erase(0, 1);
  }
  const std::string joined = dir.empty() ? file : file.empty() ? dir : dir + "/" + file;
  // Resolve "." and ".." in the text; ".." at the root stays at the root, ".." at the start of
  // a relative path is kept because there is nothing in the text to climb out of.
  const bool absolute = joined.front() == '/';
  const bool trailing = joined.size() > 1 && joined.back() == '/';
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= joined.size()) {
    size_t end = joined.find('/', start);
    if (end == std::string::npos) {
      end = joined.size();
    }
    const std::string part = joined.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..") {
        parts.pop_back();
      } else if (!absolute) {
        parts.push_back(part);
      }
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result = absolute ? "/" : "";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) {
      result += '/';
    }
    result += parts[i];
  }
  if (trailing && !parts.empty()) {
    result += '/';
  }
  if (result.empty()) {
    result.push_back('.');
  }
  if (result.size() >= PATH_MAX) {
    RaiseOSError(ENAMETOOLONG);
  }
  return result;
}

std::string FileNamePart(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string FolderPart(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  if (slash == std::string_view::npos) {
    return ".";
  }
  return slash == 0 ? std::string("/") : std::string(path.substr(0, slash));
}

std::string FileNameWithoutExt(std::string_view path) {
  std::string name = FileNamePart(path);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) {
    name.resize(dot);
  }
  return name;
}

std::string GetEnvironmentValue(const std::string& name) {
  const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
  return value == nullptr ? std::string() : Utf8ToAnsi(std::string_view(value));
}

std::string GetTempDirectory() {
  for (const char* name : {"TMP", "TMPDIR"}) {
    std::string value = GetEnvironmentValue(name);
    if (!value.empty()) {
      return value;
    }
  }
  return "/tmp";
}

}  // namespace lyr::rtl
