// A file written completely aside and moved into place in one step, so readers never see it
// half-written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lyr::rtl {

// Writes a file completely aside (temporary file in the same folder) and moves it into place.
// Not thread-safe; one owner writes and commits.
class AtomicFile final {
 public:
  // Creates the temporary file next to path with the permission bits mode (not masked by the
  // umask). Raises an OS error when the temporary file cannot be created.
  explicit AtomicFile(std::string path, uint32_t mode = 0600);
  // Unlinks the temporary file unless Commit succeeded. Never throws.
  ~AtomicFile();

  // Appends bytes to the temporary file. Raises an OS error on failure, an assertion error after
  // Commit.
  void Write(std::string_view bytes);
  // Flushes the temporary file to disk, renames it over path and flushes the folder. Raises an OS
  // error on failure (the temporary file is then removed by the destructor and path is left as
  // it was); an assertion error when called twice.
  void Commit();

  // The final path and the temporary path (for diagnostics and tests).
  // The target and the temporary file, as the file system names them (UTF-8).
  [[nodiscard]] const std::string& Path() const noexcept { return path_; }
  [[nodiscard]] const std::string& TempPath() const noexcept { return temp_path_; }

  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

 private:
  void CloseFile() noexcept;

  std::string path_;
  std::string temp_path_;
  int fd_ = -1;
  bool committed_ = false;
};

// One-shot: AtomicFile f(path, mode); f.Write(bytes); f.Commit();
void WriteFileAtomically(const std::string& path, std::string_view bytes, uint32_t mode = 0600);

}  // namespace lyr::rtl
