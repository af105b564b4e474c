// The receiving robot's journal: one line per message handled, appended and flushed to disk
// before the message's answer is delivered, so a robot that stopped at any moment and started
// again finishes what the line says instead of answering twice. A line holds "tdx880-inbox 1",
// the message's unique name, outcome, answer, reason (UTF-8) and an FNV-1a check sum, separated
// by tabs; controls and "%" are written as "%XX", in the names every byte outside printable ASCII
// too.
#pragma once

#include <map>
#include <string>

#include "base/unique_fd.h"

namespace lyr::tool {

struct JournalRecord {
  std::string message;  // the message's unique name (native)
  std::string outcome;  // "notice", "error", "quarantined" or "answered" (found delivered)
  std::string answer;   // the answer's name in the outbox (native); "" for "quarantined"
  std::string reason;   // the first reason of an error package or a quarantine (library text)
};

// The journal of the robots of one machine in a Maildir: the file "tdx880-journal." and the
// machine's name (NameKey) in the Maildir's folder. Each machine appends to its own file, because
// appends of several machines to one file of a shared file system may overwrite each other.
class Journal final {
 public:
  // Opens (making it when missing, mode 0600) the journal of this machine in folder (native) for
  // appending.
  explicit Journal(const std::string& folder);

  // Appends the record as one line with one write and flushes it to disk. Several processes of
  // the machine may append at once: each line is whole.
  void Append(const JournalRecord& record);

  // ReadJournals of the folder.
  [[nodiscard]] std::map<std::string, JournalRecord> Read() const;

  [[nodiscard]] const std::string& Path() const noexcept { return path_; }

 private:
  std::string folder_;
  std::string path_;
  base::UniqueFd fd_;
};

// The records of the journals of every machine in folder (native) by message, the last line of a
// message in a file winning. A line that is not whole (cut by a crash of the system) or whose
// check sum differs is left out.
std::map<std::string, JournalRecord> ReadJournals(const std::string& folder);

// A name made fit to stand in another Maildir name and on a terminal (ASCII only): ':', '%', '/',
// the bytes below 0x21 and from 0x7F up as "%" and two hexadecimal digits; a result above 200 bytes
// is cut to 180 and ends in "~" and the 16 hexadecimal digits of the name's FNV-1a hash.
std::string NameKey(const std::string& name);

}  // namespace lyr::tool
