// tdx880 inbox: the receiving robot. Every message of a Maildir's new/ is claimed, its package
// read (as `mail from-eml`), decrypted and verified, and answered into an outbox Maildir with the
// signed notice of receipt (as `receipt`) or an error package naming the reasons (as
// `error-package`), addressed back to the sender; a message without a readable package goes to
// the Maildir's .Quarantine with its reason. Exactly one answer per message: the claim is a
// rename under a file lock, and the journal records message -> answer before the answer is
// delivered, so a robot stopped at any moment finishes on its next start what it had begun.
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "answer_parties.h"
#include "automation/tdx880_subject.h"
#include "automation/tdx880_subject_party.h"
#include "base/io.h"
#include "command.h"
#include "crypt/platform/crypto_runtime.h"
#include "crypt/tdx880_crypt.h"
#include "crypt/tdx880_key.h"
#include "inbox_journal.h"
#include "mail/mail_runtime.h"
#include "mail/message_addresses.h"
#include "mail/package_mail.h"
#include "maildir.h"
#include "options.h"
#include "package/tdx880_answers.h"
#include "package/tdx880_doc.h"
#include "package/tdx880_document.h"
#include "package_report.h"
#include "rtl/atomic_file.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/format.h"
#include "rtl/text.h"
#include "rtl/xml_text_writer.h"
#include "signal_cleanup.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

using package::CTdx880Doc;

constexpr std::string_view kInboxUsage =
    "inbox MAILDIR [--json] (--stats | --outbox MAILDIR --by ul|fl|no|sos --id ID [--inn INN] "
    "[--kpp KPP] "
    "[--name NAME] [--fio FIO] [--sender-inn INN --sender-kpp KPP [--sender-name NAME]] "
    "[--sign THUMBPRINT] [--from ADDR] [--no-download] [--no-crl] [--once])";

constexpr std::string_view kNotice = "notice";
constexpr std::string_view kError = "error";
constexpr std::string_view kQuarantined = "quarantined";
constexpr std::string_view kAnswered = "answered";

constexpr std::string_view kQuarantineName = ".Quarantine";
// The time between two looks at the Maildir when no change is reported (changes made on another
// machine of a shared file system are not), and at the messages other robots left behind.
constexpr int kRescanMilliseconds = 5000;

std::string AnswerName(const std::string& unique) {
  return NameKey(unique) + ".answer";
}

// A JSON string of library text (windows-1251): UTF-8 with '"', '\' and the control characters
// escaped.
std::string JsonString(std::string_view ansi) {
  std::string text = "\"";
  for (const char c : rtl::AnsiToUtf8String(ansi)) {
    if (c == '"' || c == '\\') {
      text += '\\';
      text += c;
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      static constexpr char kHex[] = "0123456789abcdef";
      const auto byte = static_cast<unsigned char>(c);
      text += std::string("\\u00") + kHex[byte >> 4] + kHex[byte & 15];
    } else {
      text += c;
    }
  }
  return text + "\"";
}

// What the robot settled for one message: the outcome, the answer message's text (none for a
// quarantine) and the first reason of an error package or a quarantine.
struct Settled {
  std::string_view outcome;
  std::string text;
  std::string reason;
};

Settled Quarantine(std::string reason) {
  return {kQuarantined, {}, std::move(reason)};
}

// The lines of a check that name a fault ("NOT DECRYPTED", "NOT VALID", "NOT SIGNED", ...).
std::vector<std::string> Faults(const std::string& text) {
  std::vector<std::string> faults;
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    const std::string line = text.substr(at, end - at);
    if (line.find("NOT ") != std::string::npos) {
      faults.push_back(line);
    }
    at = end + 1;
  }
  return faults;
}

// The error-message document of an error package: the reasons, one element each.
std::string ErrorDocument(const std::vector<std::string>& reasons) {
  std::string text =
      rtl::Msg(u8"<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Ошибки>\r\n");
  for (const std::string& reason : reasons) {
    text += rtl::Msg(u8"<Ошибка>") + rtl::EscapeXMLText(reason) + rtl::Msg(u8"</Ошибка>\r\n");
  }
  return text + rtl::Msg(u8"</Ошибки>\r\n");
}

// maildir, made with its folders where missing.
const std::string& Made(const std::string& maildir) {
  MakeMaildir(maildir);
  return maildir;
}

struct Settings {
  std::string maildir;  // native
  std::string outbox;   // native
  Options options;      // the participants of the notice
  std::string from;     // --from (library text), else the address the message was sent to
  bool download = true;
  bool check_crl = true;
  bool json = false;  // report lines as JSON objects
};

class Robot final {
 public:
  explicit Robot(Settings settings);

  // Takes over the messages left in cur/ (take_over), then handles what new/ holds; stops early
  // when a signal asked to.
  void Round(bool take_over);

 private:
  void Handle(HeldMessage& held, bool taken_over);
  Settled Settle(const HeldMessage& held);
  Settled Answer(CTdx880Doc& source, const mail::MessageAddresses& addresses);
  void BuildNotice(CTdx880Doc& source, CTdx880Doc& notice) const;
  void Complete(HeldMessage& held, const JournalRecord& record);
  void Report(const JournalRecord& record) const;
  [[nodiscard]] bool Delivered(const std::string& answer) const;

  Settings settings_;
  std::unique_ptr<crypt::CTdx880Key> signer_;  // --sign
  std::string quarantine_;
  Journal journal_;
  TempWorkspace work_;
};

// The settings with the participants checked, before anything is made.
Settings Checked(Settings settings) {
  Corroborant(settings.options);
  return settings;
}

// The key of "MY" that --sign names, or none.
std::unique_ptr<crypt::CTdx880Key> SignerOf(const Options& options) {
  if (!options.Has("--sign")) {
    return nullptr;
  }
  const std::string thumbprint = ThumbprintOf(options.Value("--sign"));
  crypt::CTdx880Crypt crypt;
  crypt.Init(true);
  auto key = std::make_unique<crypt::CTdx880Key>();
  crypt.GetPrivateKeyBySha1(thumbprint, key.get());
  return key;
}

Robot::Robot(Settings settings)
    : settings_(Checked(std::move(settings))),
      signer_(SignerOf(settings_.options)),
      quarantine_(InFolder(settings_.maildir, kQuarantineName)),
      journal_(Made(settings_.maildir)) {
  MakeMaildir(settings_.outbox);
  MakeMaildir(quarantine_);
}

void Robot::Round(bool take_over) {
  if (take_over) {
    for (const std::string& name : EntryNames(InFolder(settings_.maildir, "cur"))) {
      if (StopRequest::Requested()) {
        return;
      }
      if (MaildirName::Of(name).flags.find('R') == std::string::npos) {
        if (std::optional<HeldMessage> held = TakeOver(settings_.maildir, name)) {
          Handle(*held, true);
        }
      }
    }
  }
  for (const std::string& name : EntryNames(InFolder(settings_.maildir, "new"))) {
    if (StopRequest::Requested()) {
      return;
    }
    if (std::optional<HeldMessage> held = ClaimNew(settings_.maildir, name)) {
      Handle(*held, false);
    }
  }
}

void Robot::Handle(HeldMessage& held, bool taken_over) {
  const std::string unique = held.Name().unique;
  const std::string answer = AnswerName(unique);
  if (taken_over) {
    // Read afresh for each message left behind (they are few): another robot may have written
    // its line just before it stopped.
    const std::map<std::string, JournalRecord> records = journal_.Read();
    if (const auto found = records.find(unique); found != records.end()) {
      Complete(held, found->second);
      return;
    }
    if (Delivered(answer)) {
      const JournalRecord record{unique, std::string(kAnswered), answer, {}};
      journal_.Append(record);
      Complete(held, record);
      return;
    }
  }
  const Settled settled = held.Fd() < 0 ? Quarantine("not a regular file") : Settle(held);
  const JournalRecord record{unique, std::string(settled.outcome),
                             settled.outcome == kQuarantined ? std::string() : answer,
                             settled.reason};
  if (settled.outcome != kQuarantined) {
    rtl::AtomicFile file(rtl::LibraryPath(InFolder(InFolder(settings_.outbox, "tmp"), answer)));
    file.Write(settled.text);
    file.Commit();
  }
  journal_.Append(record);
  Complete(held, record);
}

Settled Robot::Settle(const HeldMessage& held) {
  std::string head(mail::kMaxHeaderSize, '\0');
  head.resize(base::ReadUpToAt(held.Fd(), head.data(), head.size(), 0).size);
  const mail::MessageAddresses addresses = mail::ReadMessageAddresses(head);
  CTdx880Doc source;
  source.SetTmpDir(work_.Path());
  try {
    mail::CreatePackageByEmailFile(held.ReadPath(), work_.Path(), source);
  } catch (const rtl::Exception& error) {
    return Quarantine(EscapedMessage(error.Message()));
  }
  if (addresses.reply_to.empty()) {
    return Quarantine("the message names no sender to answer (From, Reply-To)");
  }
  if (settings_.from.empty() && addresses.recipient.empty()) {
    return Quarantine("the message names no recipient to answer from (To); give --from");
  }
  try {
    return Answer(source, addresses);
  } catch (const rtl::Exception& error) {
    return Quarantine("no answer could be made: " + EscapedMessage(error.Message()));
  }
}

Settled Robot::Answer(CTdx880Doc& source, const mail::MessageAddresses& addresses) {
  const std::string from = settings_.from.empty() ? addresses.recipient : settings_.from;
  const PackageCheck decryption = DecryptPackage(source);
  const PackageCheck verification = VerifyPackage(source, settings_.download, settings_.check_crl);
  const PackageVerdict verdict = JudgePackage(decryption, verification, false);
  if (verdict.valid) {
    // A valid package without a notice (a flow that has none, participants the robot was not
    // given) is no fault of its sender's: it waits in the quarantine for a person.
    try {
      CTdx880Doc notice;
      notice.SetTmpDir(work_.Path());
      BuildNotice(source, notice);
      return {
          kNotice, mail::CreateEmailByPackage(notice, work_.Path(), from, addresses.reply_to), {}};
    } catch (const rtl::Exception& error) {
      return Quarantine("a valid package, but no notice of receipt: " +
                        EscapedMessage(error.Message()));
    }
  }
  std::vector<std::string> reasons = Faults(decryption.text + verification.text);
  reasons.push_back(verdict.line.substr(0, verdict.line.size() - 1));
  CTdx880Doc error;
  error.SetTmpDir(work_.Path());
  package::BuildErrorPackage(source, error, ErrorDocument(reasons));
  return {kError, mail::CreateEmailByPackage(error, work_.Path(), from, addresses.reply_to),
          reasons.front()};
}

void Robot::BuildNotice(CTdx880Doc& source, CTdx880Doc& notice) const {
  const Options& options = settings_.options;
  const auto corroborant = Corroborant(options);
  const auto sender = PartyOfCode(source.SenderType(), source.SenderIdentifier(), options);
  const auto receiver = PartyOfCode(source.ReceiverType(), source.ReceiverIdentifier(), options);
  automation::CSubjectParty corroborant_party(*corroborant);
  automation::CSubjectParty sender_party(*sender);
  automation::CSubjectParty receiver_party(*receiver);
  package::BuildNoticeOfReceipt(source, notice, corroborant_party, sender_party, receiver_party);
  if (signer_) {
    notice.SignFile(notice.GetFile(0)->OriginalFilename(), signer_.get());
  }
}

// Finishes what the record says: a quarantined message is moved with its reason beside it; an
// answer still in the outbox's tmp/ is moved into its new/ (never over one there), and the
// message gets the flag "R".
void Robot::Complete(HeldMessage& held, const JournalRecord& record) {
  if (record.outcome == kQuarantined) {
    const std::string key = NameKey(held.Name().unique);
    rtl::AtomicFile reason(rtl::LibraryPath(InFolder(quarantine_, key + ".reason")), 0644);
    reason.Write(rtl::AnsiToUtf8String(record.reason) + "\n");
    reason.Commit();
    held.MoveTo(InFolder(InFolder(quarantine_, "cur"), held.Name().With("S")));
  } else {
    const std::string from = InFolder(InFolder(settings_.outbox, "tmp"), record.answer);
    const std::string to = InFolder(InFolder(settings_.outbox, "new"), record.answer);
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
      SyncFolder(InFolder(settings_.outbox, "new"));
    } else if (errno == EEXIST) {
      ::unlink(from.c_str());
    } else if (errno != ENOENT) {
      RaiseFileError("cannot deliver the answer", from);
    }
    held.MoveTo(InFolder(InFolder(settings_.maildir, "cur"), held.Name().With("RS")));
  }
  Report(record);
}

void Robot::Report(const JournalRecord& record) const {
  if (settings_.json) {
    PrintBytes("{\"message\":" + JsonString(NameKey(record.message)) + ",\"outcome\":" +
               JsonString(record.outcome) + ",\"answer\":" + JsonString(record.answer) +
               ",\"reason\":" + JsonString(record.reason) + "}\n");
    std::fflush(stdout);
    return;
  }
  std::string line = NameKey(record.message) + " " + record.outcome;
  if (!record.answer.empty()) {
    line += " " + record.answer;
  }
  if (!record.reason.empty()) {
    line += ": " + Escaped(record.reason);
  }
  Print(line + "\n");
  std::fflush(stdout);  // a line per message as it is done, also into a pipe or a log
}

// Whether the answer is in the outbox already: in new/, or moved on into cur/ by its reader.
bool Robot::Delivered(const std::string& answer) const {
  if (::access(InFolder(InFolder(settings_.outbox, "new"), answer).c_str(), F_OK) == 0) {
    return true;
  }
  for (const std::string& name : EntryNames(InFolder(settings_.outbox, "cur"))) {
    if (MaildirName::Of(name).unique == answer) {
      return true;
    }
  }
  return false;
}

// Waits until new/ changes, a signal asks to stop or the rescan time passes; true when the wait
// timed out (time to look at what other robots left behind).
bool WaitForMail(int inotify, const StopRequest& stop) {
  pollfd fds[2] = {{inotify, POLLIN, 0}, {stop.WakeFd(), POLLIN, 0}};
  const int ready = ::poll(fds, 2, kRescanMilliseconds);
  if (ready < 0 && errno != EINTR) {
    rtl::RaiseLastOSError();
  }
  char events[4096];
  while (::read(inotify, events, sizeof events) > 0) {
  }
  return ready == 0;
}

int RunStats(const std::string& maildir, bool json) {
  std::map<std::string, int64_t> counts;
  for (const auto& [message, record] : ReadJournals(maildir)) {
    ++counts[record.outcome];
  }
  for (const std::string& name : EntryNames(InFolder(maildir, "cur"))) {
    counts["unfinished"] += MaildirName::Of(name).flags.find('R') == std::string::npos ? 1 : 0;
  }
  counts["waiting"] = static_cast<int64_t>(EntryNames(InFolder(maildir, "new")).size());
  std::string text;
  for (const std::string_view name :
       {kNotice, kError, kQuarantined, kAnswered, std::string_view("waiting"),
        std::string_view("unfinished")}) {
    const int64_t count = counts[std::string(name)];
    text += json ? rtl::Format("%s\"%s\":%d", text.empty() ? "{" : ",", name, count)
                 : rtl::Format("%s %d\n", name, count);
  }
  Print(json ? text + "}\n" : text);
  return 0;
}

int RunInbox(const Arguments& arguments) {
  const std::optional<Options> options =
      ParseOptions(arguments,
                   {"--outbox", "--by", "--id", "--inn", "--kpp", "--name", "--fio", "--sender-inn",
                    "--sender-kpp", "--sender-name", "--sign", "--from"},
                   {"--stats", "--once", "--no-download", "--no-crl", "--json"});
  if (options && options->positional.size() == 1 && options->Has("--stats") &&
      options->values.empty() && options->flags.size() == 1 + (options->Has("--json") ? 1 : 0)) {
    return RunStats(options->positional[0], options->Has("--json"));
  }
  if (!options || options->positional.size() != 1 || options->Has("--stats") ||
      !options->Has("--outbox") || !options->Has("--by") || !options->Has("--id")) {
    return UsageError(kInboxUsage);
  }
  const crypt::CryptoRuntime crypto;
  const mail::MailRuntime mail;
  Settings settings{options->positional[0],
                    options->Value("--outbox"),
                    *options,
                    FromTerminal(options->Value("--from")),
                    !options->Has("--no-download"),
                    !options->Has("--no-crl"),
                    options->Has("--json")};
  const StopRequest stop;
  Robot robot(std::move(settings));
  const base::UniqueFd inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (inotify.Get() < 0 ||
      ::inotify_add_watch(inotify.Get(), InFolder(options->positional[0], "new").c_str(),
                          IN_MOVED_TO | IN_CREATE) < 0) {
    rtl::RaiseLastOSError();
  }
  robot.Round(true);
  while (!options->Has("--once") && !StopRequest::Requested()) {
    robot.Round(WaitForMail(inotify.Get(), stop));
  }
  return 0;
}

}  // namespace

std::vector<Command> InboxCommands() {
  return {
      {"inbox", kInboxUsage.substr(std::string_view("inbox ").size()),
       "the receiving robot: claim every message of MAILDIR/new, read its package, decrypt and "
       "verify it, answer into the outbox Maildir with the notice of receipt (--sign: signed) or "
       "an error package naming the reasons, addressed back to the sender; a message without a "
       "readable package goes to MAILDIR/.Quarantine with its reason; exactly one answer per "
       "message, with other robots on the same Maildir and after a crash; one report line per "
       "message (--json: a JSON object per line); --once handles what is there, else it waits for "
       "mail until SIGTERM and then "
       "finishes the message in hand; --stats counts the outcomes",
       &Guarded<&RunInbox>},
  };
}

}  // namespace lyr::tool
