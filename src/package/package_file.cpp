// Files of a package in its working folder.
#include "package/package_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "base/io.h"
#include "base/unique_fd.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/whole_file.h"

namespace lyr::package {

namespace {

std::string PathInWorkingDirectory(const CTdx880PackageConfig& config,
                                   const std::string& file_name) {
  rtl::Assert(!config.WorkingDirectory().empty(), "CTdx880PackageConfig.WorkingDirectory",
              "Tdx880Document");
  return rtl::IncludeTrailingBackslash(config.WorkingDirectory()) + file_name;
}

// Writes bytes as the file path, created or truncated, mode 0600. The working folder is private
// scratch space rebuilt by every save, and the archive made from it is what is written safely
// (aside, flushed, renamed), so these files are written plainly: no flush, no rename.
void WriteScratchFile(const std::string& path, std::string_view bytes) {
  base::UniqueFd fd(::open(rtl::NativePath(path).c_str(),
                           O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (fd.Get() < 0) {
    rtl::RaiseLastOSError();
  }
  rtl::RaiseIfOSError(base::WriteAll(fd.Get(), bytes));
  rtl::RaiseIfOSError(fd.Close());
}

}  // namespace

bool IsPackageFileName(std::string_view file_name) noexcept {
  if (file_name.empty() || file_name == "." || file_name == "..") {
    return false;
  }
  return file_name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

PackageFiles::Bytes PackageFiles::Find(const std::string& name) const {
  const auto found = files_.find(name);
  return found == files_.end() ? nullptr : found->second;
}

PackageFiles::Bytes ReadPackageBytes(const CTdx880PackageConfig& config,
                                     const std::string& file_name) {
  if (!IsPackageFileName(file_name)) {
    rtl::RaiseFmt(u8"Файл в пакете не найден: [%s]", file_name);
  }
  if (config.Files() != nullptr) {
    if (PackageFiles::Bytes staged = config.Files()->Find(file_name)) {
      return staged;
    }
    if (config.WorkingDirectory().empty()) {
      rtl::RaiseFmt(u8"Файл в пакете не найден: [%s]", file_name);
    }
  }
  const std::string path = PathInWorkingDirectory(config, file_name);
  if (!rtl::FileExists(path)) {
    rtl::RaiseFmt(u8"Файл в пакете не найден: [%s]", file_name);
  }
  return std::make_shared<const std::string>(rtl::ReadFileToString(path));
}

std::string ReadPackageFile(const CTdx880PackageConfig& config, const std::string& file_name) {
  return *ReadPackageBytes(config, file_name);
}

void WritePackageFile(const CTdx880PackageConfig& config, const std::string& file_name,
                      PackageFiles::Bytes bytes) {
  if (!IsPackageFileName(file_name)) {
    rtl::RaiseFmt(u8"Недопустимое имя файла в пакете: [%s]", file_name);
  }
  if (config.Files() != nullptr) {
    config.Files()->Put(file_name, std::move(bytes));
    return;
  }
  WriteScratchFile(PathInWorkingDirectory(config, file_name), *bytes);
}

void WritePackageFile(const CTdx880PackageConfig& config, const std::string& file_name,
                      std::string_view bytes) {
  if (config.Files() != nullptr) {
    WritePackageFile(config, file_name, std::make_shared<const std::string>(bytes));
    return;
  }
  if (!IsPackageFileName(file_name)) {
    rtl::RaiseFmt(u8"Недопустимое имя файла в пакете: [%s]", file_name);
  }
  WriteScratchFile(PathInWorkingDirectory(config, file_name), bytes);
}

}  // namespace lyr::package
