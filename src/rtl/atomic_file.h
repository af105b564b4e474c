// A file written completely aside and moved into place in one step, so readers never see it
// half-written and a crash leaves no partial file behind.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lyr::rtl {

// Writes a file completely aside and moves it into place. The scratch file is an unnamed file
// (O_TMPFILE) in the target's folder: until Commit nothing of it is visible, and a process killed
// in any way (kill -9 included) leaves nothing behind. Commit links it in under a hidden scratch
// name and renames that over the target. Where the file system has no unnamed files the scratch
// file is named from the start (".<name>.tmp-XXXXXX" beside the target). Either way the scratch
// name is flocked while this object lives, and every AtomicFile of a target first deletes the
// scratch names of that target whose lock no live process holds (left by a crash).
// Not thread-safe; one owner writes and commits.
class AtomicFile final {
 public:
  // The mode a new file gets from open: 0666 less the process's umask.
  static constexpr uint32_t kCreationMode = 0xFFFFFFFF;

  // Creates the scratch file for path with the permission bits mode (not masked by the umask;
  // kCreationMode: masked, as open does). Raises an OS error when it cannot be created (ENOENT
  // for a missing folder).
  explicit AtomicFile(std::string path, uint32_t mode = 0600);
  // Removes the scratch file unless Commit succeeded. Never throws.
  ~AtomicFile();

  // Appends bytes to the scratch file. Raises an OS error on failure, an assertion error after
  // Commit.
  void Write(std::string_view bytes);
  // Writes bytes at offset of the scratch file (over what is there, or extending it), leaving the
  // position Write appends at alone. Raises as Write does.
  void WriteAt(uint64_t offset, std::string_view bytes);
  // How far Commit makes the new file durable before it returns.
  enum class Durability {
    // The file's data and the rename: once Commit returns, the new file survives a crash of the
    // system (a power loss).
    kRenamed,
    // The file's data only: a crash of the system shortly after Commit may bring back the old
    // file (or none, for a new one), never a partial one; the rename reaches the disk with the
    // file system's next commit. Saves a flush of the folder.
    kData,
  };

  // Flushes the scratch file to disk, moves it over path and (kRenamed) flushes the folder.
  // Raises an OS error on failure (the scratch file is then removed by the destructor and path is
  // left as it was); an assertion error when called twice.
  void Commit(Durability durability = Durability::kRenamed);

  // The target, as the file system names it (UTF-8).
  [[nodiscard]] const std::string& Path() const noexcept { return path_; }
  // The scratch file's name while it has one (the fallback, or during Commit); "" while it is
  // unnamed.
  [[nodiscard]] const std::string& TempPath() const noexcept { return temp_path_; }
  // True when the scratch file is an unnamed O_TMPFILE.
  [[nodiscard]] bool IsUnnamed() const noexcept { return unnamed_; }

  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

 private:
  void OpenNamed(uint32_t mode);
  void LinkUnnamed();
  void CloseFile() noexcept;

  std::string path_;
  std::string folder_;
  std::string temp_path_;
  int fd_ = -1;
  bool unnamed_ = false;
  bool committed_ = false;
};

// One-shot: AtomicFile f(path, mode); f.Write(bytes); f.Commit();
void WriteFileAtomically(const std::string& path, std::string_view bytes, uint32_t mode = 0600);

}  // namespace lyr::rtl
