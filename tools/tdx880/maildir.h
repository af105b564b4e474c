// Maildir folders as mail servers write and read them: a message is written into tmp/ and moved
// into new/; a reader moves it on into cur/ with the flags after ":2,". Paths and names here are
// native (the bytes the file system holds); the folders may be shared by several processes and
// machines.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/unique_fd.h"

namespace lyr::tool {

// folder + "/" + name, the bytes as they are (a name may hold blanks, "\" and any byte but "/").
std::string InFolder(const std::string& folder, std::string_view name);

// Makes root with tmp/, new/ and cur/ where missing. Raises "cannot create the folder <path>:
// <reason>".
void MakeMaildir(const std::string& root);

// The names in folder in byte order (a Maildir name starts with its delivery time), leaving out
// those that begin with "."; raises "cannot read the folder
// <path>: <reason>".
std::vector<std::string> EntryNames(const std::string& folder);

// Flushes folder's entries (its renames and new names) to disk; raises on failure.
void SyncFolder(const std::string& folder);

// Raises "<what> <path>: <reason of errno>" (the path as the terminal shows it).
[[noreturn]] void RaiseFileError(const std::string& what, const std::string& path);

// A message file's name: its unique part and its flags ("<unique>:2,<flags>"; no flags without
// the ":2," part).
struct MaildirName {
  std::string unique;
  std::string flags;

  static MaildirName Of(const std::string& name);
  // "<unique>:2," with the flags, each once, in ASCII order.
  [[nodiscard]] std::string With(const std::string& more_flags) const;
};

// A message this process holds: its file open and locked (flock, exclusive), so no other process
// takes it while the lock lives; the lock goes with the process, however it ends.
class HeldMessage final {
 public:
  HeldMessage(base::UniqueFd fd, std::string path);

  [[nodiscard]] int Fd() const noexcept { return fd_.Get(); }
  // Where the message is now.
  [[nodiscard]] const std::string& Path() const noexcept { return path_; }
  [[nodiscard]] const MaildirName& Name() const noexcept { return name_; }
  // A path that reads the held file whatever its name ("/proc/self/fd/N").
  [[nodiscard]] std::string ReadPath() const;

  // Renames the message to path (in the same file system); raises on failure.
  void MoveTo(const std::string& path);

 private:
  base::UniqueFd fd_;
  std::string path_;
  MaildirName name_;
};

// Claims the message new/name of the Maildir root: locks it and renames it into cur/ with the
// flag "S", then flushes cur/. Nothing when another process has it (locked or moved away).
// A name that is not a regular file is claimed by the rename alone, unlocked (its file is no
// message to read).
std::optional<HeldMessage> ClaimNew(const std::string& root, const std::string& name);

// Takes over the message cur/name left behind by a process that stopped while it held it: locks
// it and checks that it is still under that name. Nothing when a living process holds it or it
// has moved.
std::optional<HeldMessage> TakeOver(const std::string& root, const std::string& name);

}  // namespace lyr::tool
