// Files of a package: reading and writing an item's content file or a signature file by the name
// the description gives it, in the container's staged files or in its working folder.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "package/tdx880_package_config.h"

namespace lyr::package {

// The files of a package while its container reads or writes the archive, held in memory instead
// of being written into the working folder, extracted and deleted again: the archive's entries
// on their way to the items (Open), the items' files and the description on their way into the
// archive (Save). The bytes are shared, not copied: an item's stored form and its staged file are
// one buffer. Names sort as the file system's listing of the working folder did, so an archive
// built from the staged files has its entries in the same order.
class PackageFiles final {
 public:
  using Bytes = std::shared_ptr<const std::string>;

  // Creates or replaces the file name.
  void Put(const std::string& name, Bytes bytes) { files_[name] = std::move(bytes); }
  // The file name's bytes; null when there is none.
  [[nodiscard]] Bytes Find(const std::string& name) const;
  [[nodiscard]] const std::map<std::string, Bytes>& All() const noexcept { return files_; }
  [[nodiscard]] bool Empty() const noexcept { return files_.empty(); }
  void Clear() noexcept { files_.clear(); }

 private:
  std::map<std::string, Bytes> files_;
};

// True for a name that stays inside the working folder: not empty, not "." or "..", without "/",
// "\" or NUL. Descriptions come from strangers; only such names are ever joined to the folder.
[[nodiscard]] bool IsPackageFileName(std::string_view file_name) noexcept;

// The bytes of the file file_name of the package of config: the staged file of that name when
// config has staged files (CTdx880PackageConfig::Files) that hold it, else the file in the
// working folder. A name that is not a package file name, or a file that is in neither place,
// fails with "Файл в пакете не найден: [%s]" (file_name); a file that cannot be read with an OS
// error. A configuration without staged files and without a working folder fails a program check.
[[nodiscard]] PackageFiles::Bytes ReadPackageBytes(const CTdx880PackageConfig& config,
                                                   const std::string& file_name);
// ReadPackageBytes as a text of its own.
[[nodiscard]] std::string ReadPackageFile(const CTdx880PackageConfig& config,
                                          const std::string& file_name);

// Creates or replaces the file file_name of the package of config with bytes: a staged file when
// config has staged files (the bytes are shared), else a file in the working folder written in
// place with mode 0600 (the working folder is private scratch space; the archive built from it is
// what a save writes safely). A name that is not a package file name fails with
// "Недопустимое имя файла в пакете: [%s]"; a failing write with an OS error.
void WritePackageFile(const CTdx880PackageConfig& config, const std::string& file_name,
                      PackageFiles::Bytes bytes);
void WritePackageFile(const CTdx880PackageConfig& config, const std::string& file_name,
                      std::string_view bytes);

}  // namespace lyr::package
