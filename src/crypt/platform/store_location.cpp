// Store location folders and the file helpers of the on-disk stores and containers.
#include "crypt/platform/store_location.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "crypt/platform/crypt_error.h"
#include "rtl/atomic_file.h"
#include "rtl/file_utils.h"
#include "rtl/trace.h"
#include "rtl/whole_file.h"

namespace lyr::crypt {
namespace {

std::string Environment(const char* name) {
  return rtl::GetEnvironmentValue(name);
}

uint32_t CodeOfErrno(int error_number) {
  switch (error_number) {
    case EACCES:
    case EPERM:
    case EROFS:
      return code::kEAccessDenied;
    case ENOENT:
    case ENOTDIR:
      return code::kErrorPathNotFound;
    case ENOSPC:
    case EDQUOT:
      return code::kErrorDiskFull;
    default:
      return code::kCryptEFileError;
  }
}

}  // namespace

std::string LocationFolder(StoreLocation location) {
  if (location == StoreLocation::kLocalMachine) {
    const std::string home = Environment("LYR_TDX_MACHINE_HOME");
    return home.empty() ? "/var/lib/lyr-tdx880" : home;
  }
  if (std::string home = Environment("LYR_TDX_HOME"); !home.empty()) {
    return home;
  }
  std::string data = Environment("XDG_DATA_HOME");
  if (data.empty()) {
    data = Environment("HOME") + "/.local/share";
  }
  return data + "/lyr-tdx880";
}

void RaiseFileError(int error_number, const std::string& path) {
  char buffer[256];
  const char* text = ::strerror_r(error_number, buffer, sizeof buffer);
  RaiseCryptError(CodeOfErrno(error_number), "(" + path + ": " + text + ")");
}

void EnsurePrivateFolder(const std::string& folder) {
  struct stat info {};
  const std::string native = rtl::NativePath(folder);
  if (::stat(native.c_str(), &info) == 0) {
    if (!S_ISDIR(info.st_mode)) {
      RaiseFileError(ENOTDIR, folder);
    }
    return;
  }
  const size_t slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    EnsurePrivateFolder(folder.substr(0, slash));
  }
  if (::mkdir(native.c_str(), 0700) != 0 && errno != EEXIST) {
    RaiseFileError(errno, folder);
  }
}

void WriteFileAtomic(const std::string& path, std::string_view bytes, uint32_t mode) {
  try {
    rtl::WriteFileAtomically(path, bytes, mode);
  } catch (const rtl::EOSError& error) {
    RaiseFileError(error.ErrorCode(), path);
  }
}

bool ReadWholeFile(const std::string& path, std::string& bytes, uint64_t limit,
                   std::string* reason) {
  rtl::RegularFileRead read = rtl::ReadRegularFile(path, limit);
  if (!read.ok) {
    if (!read.missing) {
      rtl::DebugLog("Skipping %s: %s", path, read.reason);
      if (reason != nullptr) {
        *reason = std::move(read.reason);
      }
    }
    return false;
  }
  bytes = std::move(read.bytes);
  return true;
}

}  // namespace lyr::crypt
