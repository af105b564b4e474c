// Files of a package in its working folder.
#include "package/package_file.h"

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

}  // namespace

bool IsPackageFileName(std::string_view file_name) noexcept {
  if (file_name.empty() || file_name == "." || file_name == "..") {
    return false;
  }
  return file_name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

std::string ReadPackageFile(const CTdx880PackageConfig& config, const std::string& file_name) {
  if (!IsPackageFileName(file_name) ||
      !rtl::FileExists(PathInWorkingDirectory(config, file_name))) {
    rtl::RaiseFmt(u8"Файл в пакете не найден: [%s]", file_name);
  }
  return rtl::ReadFileToString(PathInWorkingDirectory(config, file_name));
}

void WritePackageFile(const CTdx880PackageConfig& config, const std::string& file_name,
                      std::string_view bytes) {
  if (!IsPackageFileName(file_name)) {
    rtl::RaiseFmt(u8"Недопустимое имя файла в пакете: [%s]", file_name);
  }
  rtl::WriteStringToFile(PathInWorkingDirectory(config, file_name), bytes);
}

std::string FileNamePart(std::string_view path) {
  const size_t separator = path.find_last_of("/\\");
  return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

}  // namespace lyr::package
