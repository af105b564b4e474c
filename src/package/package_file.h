// Files of a package in its working folder: reading and writing an item's content file or a
// signature file by the name the description gives it.
#pragma once

#include <string>
#include <string_view>

#include "package/tdx880_package_config.h"

namespace lyr::package {

// True for a name that stays inside the working folder: not empty, not "." or "..", without "/",
// "\" or NUL. Descriptions come from strangers; only such names are ever joined to the folder.
[[nodiscard]] bool IsPackageFileName(std::string_view file_name) noexcept;

// The bytes of the file file_name in the working folder of config. A name that is not a package
// file name, or a file that does not exist there, fails with "Файл в пакете не найден: [%s]"
// (file_name); a file that cannot be read with an OS error. A configuration without a working
// folder fails a program check.
[[nodiscard]] std::string ReadPackageFile(const CTdx880PackageConfig& config,
                                          const std::string& file_name);

// Creates or replaces the file file_name in the working folder of config with bytes, written in
// place with mode 0600 (the working folder is private scratch space; the archive built from it is
// what a save writes safely). A name that is not a package file name fails with
// "Недопустимое имя файла в пакете: [%s]"; a failing write with an OS error.
void WritePackageFile(const CTdx880PackageConfig& config, const std::string& file_name,
                      std::string_view bytes);

}  // namespace lyr::package
