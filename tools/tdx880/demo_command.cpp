// tdx880 demo: the whole road of a declaration package in a self-contained temporary home: a
// test PKI, an abonent and a tax authority with their keys and stores, the abonent building,
// signing, encrypting and saving the package, the package travelling as an e-mail message, the
// tax authority opening, decrypting and verifying it and answering with a signed notice of
// receipt, which travels back by e-mail and which the abonent checks against what it sent.
#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "automation/tdx880_subject.h"
#include "automation/tdx880_subject_party.h"
#include "command.h"
#include "crypt/platform/cert_store.h"
#include "crypt/platform/crypto_runtime.h"
#include "crypt/platform/key_container.h"
#include "crypt/platform/pki_builder.h"
#include "crypt/tdx880_crypt.h"
#include "crypt/tdx880_key.h"
#include "crypt_options.h"
#include "mail/mail_runtime.h"
#include "mail/package_mail.h"
#include "options.h"
#include "package/tdx880_answers.h"
#include "package/tdx880_doc.h"
#include "package/tdx880_document.h"
#include "package/tdx880_signature.h"
#include "package/xml/xml_gpr_dekl_description.h"
#include "package/xml/xml_gpr_notice_receipt.h"
#include "package_report.h"
#include "rtl/atomic_file.h"
#include "rtl/base64.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/format.h"
#include "rtl/identifiers.h"
#include "rtl/text.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

using crypt::Certificate;
using crypt::PrivateKey;
using package::CTdx880Doc;
using rtl::Format;
using rtl::Msg;

constexpr std::string_view kDemoUsage =
    "demo [--keep DIR] [--alg gost2001|gost2012-256|gost2012-512]";
constexpr int64_t kDay = 86400;

// The participants' identifiers in the package: the abonent's INN and the tax authority's code.
constexpr std::string_view kAbonentId = "7701234560";
constexpr std::string_view kTaxAuthorityId = "7701";
constexpr std::string_view kAbonentKpp = "770101001";

// Sets environment variables for the demo's lifetime and puts the old values back.
class ScopedEnvironment final {
 public:
  ScopedEnvironment() = default;
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second) {
        ::setenv(it->first.c_str(), it->second->c_str(), 1);
      } else {
        ::unsetenv(it->first.c_str());
      }
    }
  }

  // name := value (a library path, given to the environment as UTF-8).
  void Set(const std::string& name, const std::string& value) {
    const char* old = ::getenv(name.c_str());
    saved_.emplace_back(name, old == nullptr ? std::nullopt : std::optional<std::string>(old));
    if (::setenv(name.c_str(), rtl::NativePath(value).c_str(), 1) != 0) {
      rtl::RaiseLastOSError();
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// The demo's folder: DIR of --keep (made when missing; it must be empty), else a fresh folder in
// the temporary folder, removed at the end.
class DemoHome final {
 public:
  explicit DemoHome(const std::optional<std::string>& keep)
      : folder_(keep ? *keep
                     : rtl::CombinePath(rtl::GetTempDirectory(),
                                        "lyr-tdx880-demo-" + rtl::NewFileId())),
        keep_(keep.has_value()) {
    if (keep_ && rtl::DirectoryExists(folder_) && !IsEmptyFolder(folder_)) {
      throw rtl::Exception("the folder " + folder_ + " is not empty");
    }
    if (!rtl::ForceDirectories(folder_)) {
      throw rtl::Exception("cannot create the folder " + folder_);
    }
  }
  DemoHome(const DemoHome&) = delete;
  DemoHome& operator=(const DemoHome&) = delete;
  ~DemoHome() {
    if (!keep_) {
      rtl::DeleteDirectoryTree(folder_);
    }
  }

  [[nodiscard]] std::string Path(std::string_view name) const {
    return rtl::CombinePath(folder_, name);
  }
  [[nodiscard]] const std::string& Folder() const noexcept { return folder_; }

 private:
  static bool IsEmptyFolder(const std::string& folder);

  std::string folder_;
  bool keep_;
};

bool DemoHome::IsEmptyFolder(const std::string& folder) {
  DIR* dir = ::opendir(rtl::NativePath(folder).c_str());
  if (dir == nullptr) {
    return false;
  }
  bool empty = true;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") {
      empty = false;
      break;
    }
  }
  ::closedir(dir);
  return empty;
}

// The test root and its revocation list.
struct DemoPki {
  PrivateKey root_key;
  Certificate root;
  crypt::Crl crl;
};

int64_t Now() {
  return static_cast<int64_t>(std::time(nullptr));
}

DemoPki MakePki(crypt::GostAlgorithm algorithm) {
  const PrivateKey root_key = PrivateKey::Generate(algorithm, {});
  crypt::CertificateSpec fields;
  fields.serial_hex = "01";
  fields.subject = crypt::ParseDistinguishedName(Msg(u8"CN=Демо УЦ Lyr,O=Lyr Demo,C=RU"));
  fields.not_before = Now() - kDay;
  fields.not_after = Now() + 10 * 365 * kDay;
  fields.ca = true;
  fields.key_usage = crypt::key_usage::kCa;
  const Certificate root = crypt::IssueSelfSigned(fields, root_key);
  crypt::CrlSpec crl_spec;
  crl_spec.this_update = Now() - kDay;
  crl_spec.next_update = Now() + 30 * kDay;
  return {root_key, root, crypt::IssueCrl(crl_spec, root, root_key)};
}

// One participant: its home (LYR_TDX_HOME) with a key container, its certificate in "MY" bound
// to the container, the root in "ROOT" and the root's CRL in "CA".
struct Participant {
  std::string home;
  std::string container;
  Certificate certificate;
};

Participant MakeParticipant(const DemoPki& pki, ScopedEnvironment& environment,
                            const std::string& home, const std::string& container,
                            const std::string& subject, const std::string& serial,
                            crypt::GostAlgorithm algorithm) {
  environment.Set("LYR_TDX_HOME", home);
  const crypt::KeyContainer keys =
      crypt::KeyContainer::Create(crypt::StoreLocation::kCurrentUser, container, algorithm, {});
  crypt::CertificateSpec fields;
  fields.serial_hex = serial;
  fields.subject = crypt::ParseDistinguishedName(subject);
  fields.not_before = Now() - kDay;
  fields.not_after = Now() + 365 * kDay;
  fields.key_usage = crypt::key_usage::kEndEntity;
  const Certificate certificate =
      crypt::IssueCertificate(fields, keys.GetPrivateKey(), pki.root, pki.root_key);
  keys.SetCertificate(certificate);
  crypt::CTdx880Crypt crypt;
  crypt.Init(true);
  crypt::CTdx880Key key;
  crypt.ImportPrivateCertificate(certificate.Der(), container, &key);
  crypt.ImportP7BChain(pki.root.Der());
  crypt::CertStore::OpenSystem(crypt::StoreLocation::kCurrentUser, "CA")
      .AddCrl(pki.crl, crypt::AddDisposition::kReplaceExisting);
  return {home, container, certificate};
}

std::string CertificateLine(const Certificate& certificate) {
  return "\"" + certificate.SubjectCN().value_or("na") + "\" (" + certificate.Thumbprint() + ")";
}

// A small VAT declaration in windows-1251, as a tax payer's program would write it.
std::string DeclarationText(const std::string& file_id) {
  return Msg(u8"<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n") + Msg(u8"<Файл ИдФайл=\"") +
         file_id +
         Msg(u8"\" ВерсПрог=\"tdx880 demo\" ВерсФорм=\"5.04\">\r\n"
             u8"<Документ КНД=\"1151001\" ДатаДок=\"06.12.2026\" Период=\"21\" "
             u8"ОтчетГод=\"2026\" КодНО=\"7701\" НомКорр=\"0\">\r\n"
             u8"<СвНП><НПЮЛ НаимОрг=\"ООО Ромашка\" ИННЮЛ=\"7701234560\" "
             u8"КПП=\"770101001\"/></СвНП>\r\n"
             u8"<НДС><СумУплНП СумПУ_173.1=\"125000\"/></НДС>\r\n"
             u8"</Документ>\r\n</Файл>\r\n");
}

void FillDeclarationDescription(xml::CXMLGprDeklDescription& description) {
  description.SetFormName(Msg(u8"Налоговая декларация по налогу на добавленную стоимость"));
  description.SetFormKnd("1151001");
  description.SetDeklKind(xml::CXMLGprDeklDescription::kKindPrimary);
  description.SetYear("2026");
  description.SetPeriodCode("21");
  description.SetSonoAccount("7701");
  description.SetSonoSituation("7701");
}

// The abonent's side: builds, signs, encrypts and saves the package; returns its path.
std::string BuildPackage(const DemoHome& home, const Participant& abonent,
                         const Participant& tax_authority, ScopedEnvironment& environment,
                         std::string& text) {
  environment.Set("LYR_TDX_HOME", abonent.home);
  crypt::CTdx880Crypt crypt;
  crypt.Init(true);
  crypt::CTdx880Key signer;
  crypt.GetPrivateKeyBySha1(abonent.certificate.Thumbprint(), &signer);
  crypt::CTdx880Key recipient;
  crypt.GetOpponentKeyBySha1(tax_authority.certificate.Thumbprint(), &recipient);

  CTdx880Doc package;
  package.SetTmpDir(home.Path("tmp"));
  package.New("01", "01");
  package.SetSenderIdentifier(std::string(kAbonentId));
  package.SetReceiverIdentifier(std::string(kTaxAuthorityId));
  text += "  new package: flow " + package.ThreadTypeCode() + " " + package.ThreadType() +
          ", transaction " + package.TransactTypeCode() + " " + package.TransactType() +
          ", sender " + package.SenderIdentifier() + ", receiver " + package.ReceiverIdentifier() +
          "\n";
  const std::string file_id = "NO_NDS_7701_7701_7701234560770101001_20261206_" + rtl::NewGuidText();
  const std::string declaration_name = file_id + ".xml";
  package.AddFile("01", "xml", declaration_name, DeclarationText(file_id));
  xml::CXMLGprDeklDescription description;
  FillDeclarationDescription(description);
  package.AddSpecDoc(description);
  for (int32_t i = 0; i < package.GetFileCount(); ++i) {
    const CTdx880Doc::DocumentPtr item = package.GetFile(i);
    text +=
        Format("  added %s: type %s %s, %d bytes\n", item->OriginalFilename(), item->DocTypeCode(),
               item->DocType(), static_cast<int64_t>(item->RawContent().size()));
  }
  for (int32_t i = 0; i < package.GetFileCount(); ++i) {
    const std::string name = package.GetFile(i)->OriginalFilename();
    package.SignFile(name, &signer);
    text += "  signed " + name + " with \"" + signer.SubjectCN() + "\"\n";
  }
  package.Encrypt(&recipient);
  for (int32_t i = 0; i < package.GetFileCount(); ++i) {
    const CTdx880Doc::DocumentPtr item = package.GetFile(i);
    text += "  " + item->OriginalFilename() +
            (item->IsEncrypted() ? " encrypted for \"" + recipient.SubjectCN() + "\"\n"
                                 : std::string(" left plain (its type is not encrypted)\n"));
  }
  const std::string outbox = home.Path("outbox");
  if (!rtl::ForceDirectories(outbox)) {
    throw rtl::Exception("cannot create the folder " + outbox);
  }
  package.Save(outbox);
  text += "  saved " + package.FileName() + "\n";
  return package.FileName();
}

// One way of a package by e-mail: the sender's mail program turns the saved package into a
// message file in the mail folder; the receiver's mail robot turns the message back into a package
// in its inbox.
struct MailRoad {
  std::string_view from;
  std::string_view to;
  std::string_view message;  // the message file's name
  std::string_view inbox;    // the receiver's inbox folder in the demo's home
  std::string_view robot;    // who saves the attachment, for the report
};

constexpr MailRoad kToTaxAuthority = {"abonent@example.ru", "robot@example.ru", "package.eml",
                                      "inbox", "the tax authority's mail robot"};
constexpr MailRoad kToAbonent = {"robot@example.ru", "abonent@example.ru", "notice.eml",
                                 "abonent-inbox", "the abonent's mail program"};

// Sends the package at path along road; returns the received package's path.
std::string SendByMail(const DemoHome& home, const std::string& path, const MailRoad& road,
                       std::string& text) {
  const mail::MailRuntime runtime;
  CTdx880Doc outgoing;
  outgoing.SetTmpDir(home.Path("tmp"));
  outgoing.Open(path);
  const std::string message = mail::CreateEmailByPackage(
      outgoing, home.Path("tmp"), std::string(road.from), std::string(road.to));
  const std::string mailbox = home.Path("mail");
  if (!rtl::ForceDirectories(mailbox)) {
    throw rtl::Exception("cannot create the folder " + mailbox);
  }
  const std::string eml = rtl::CombinePath(mailbox, road.message);
  rtl::WriteFileAtomically(eml, message);
  text += Format("  wrote %s (%d bytes) from %s to %s\n", eml, static_cast<int64_t>(message.size()),
                 road.from, road.to);

  CTdx880Doc incoming;
  incoming.SetTmpDir(home.Path("tmp"));
  mail::CreatePackageByEmailFile(eml, home.Path("tmp"), incoming);
  const std::string inbox = home.Path(road.inbox);
  if (!rtl::ForceDirectories(inbox)) {
    throw rtl::Exception("cannot create the folder " + inbox);
  }
  incoming.Save(inbox);
  text += "  " + std::string(road.robot) + " saved the attachment " + incoming.FileName() + "\n";
  return incoming.FileName();
}

// Every line of text begins with indent.
std::string Indented(const std::string& text, const std::string& indent) {
  std::string result;
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
    result += indent + text.substr(at, end - at);
    at = end;
  }
  return result;
}

// The tax authority's side: opens, decrypts and verifies the package; true when every signature
// is valid.
bool ReceivePackage(const DemoHome& home, const Participant& tax_authority, const std::string& path,
                    ScopedEnvironment& environment, std::string& text) {
  environment.Set("LYR_TDX_HOME", tax_authority.home);
  CTdx880Doc package;
  package.SetTmpDir(home.Path("tmp"));
  package.Open(path);
  text += "  opened " + path + "\n";
  text += Indented(PackageText(package), "    ");
  const PackageCheck decryption = DecryptPackage(package);
  // The certificates of the demonstration name no addresses: nothing is downloaded, the chain
  // ends at the root in "ROOT" and revocation is checked against the CRL in "CA".
  const PackageCheck verification = VerifyPackage(package, false, true);
  text += Indented(decryption.text + verification.text, "  ");
  const int32_t failed = decryption.failed + verification.failed;
  if (failed == 0 && verification.checked > 0) {
    text += Format("result: every signature is valid (%d)\n", verification.checked);
    return true;
  }
  text += Format("result: FAILED (%d problem(s), %d signature(s) checked)\n", failed,
                 verification.checked);
  return false;
}

// The tax authority's answer: the notice of receipt of the received package, confirmed by the
// tax authority, signed with its key and saved in its outbox; returns the notice's path.
std::string AnswerWithNotice(const DemoHome& home, const Participant& tax_authority,
                             const std::string& received, ScopedEnvironment& environment,
                             std::string& text) {
  environment.Set("LYR_TDX_HOME", tax_authority.home);
  CTdx880Doc source;
  source.SetTmpDir(home.Path("tmp"));
  source.Open(received);
  automation::CTdx880SubjectNO confirming;
  confirming.SetIdentifier(std::string(kTaxAuthorityId));
  automation::CTdx880SubjectUL sender;
  sender.SetName(Msg(u8"ООО Ромашка"));
  sender.SetInn(std::string(kAbonentId));
  sender.SetKpp(std::string(kAbonentKpp));
  automation::CTdx880SubjectNO receiver;
  automation::CSubjectParty confirming_party(confirming);
  automation::CSubjectParty sender_party(sender);
  automation::CSubjectParty receiver_party(receiver);
  CTdx880Doc notice;
  notice.SetTmpDir(home.Path("tmp"));
  package::BuildNoticeOfReceipt(source, notice, confirming_party, sender_party, receiver_party);
  text += "  notice: transaction " + notice.TransactTypeCode() + " " + notice.TransactType() +
          ", " + notice.GetFile(0)->OriginalFilename() + "\n";

  crypt::CTdx880Crypt crypt;
  crypt.Init(true);
  crypt::CTdx880Key signer;
  crypt.GetPrivateKeyBySha1(tax_authority.certificate.Thumbprint(), &signer);
  notice.SignFile(notice.GetFile(0)->OriginalFilename(), &signer);
  text += "  signed it with \"" + signer.SubjectCN() + "\"\n";
  const std::string outbox = home.Path("tax-authority-outbox");
  if (!rtl::ForceDirectories(outbox)) {
    throw rtl::Exception("cannot create the folder " + outbox);
  }
  notice.Save(outbox);
  text += "  saved " + notice.FileName() + "\n";
  return notice.FileName();
}

// Whether the notice lists the file by its name with the Base64 texts of all its signatures, in
// order; reports the file.
bool ListsFile(xml::CXMLGprNoticeReceipt& notice, const package::CTdx880Document& file,
               const std::vector<std::string>& signatures, std::string& text) {
  const std::string name = rtl::FileNameWithoutExt(file.OriginalFilename());
  for (int32_t i = 0; i < notice.ReceivedFiles().Count(); ++i) {
    const xml::CXMLGprReceiptFile& record = notice.ReceivedFiles().Items(i);
    if (record.FileName() == name) {
      const bool same = record.Signatures() == signatures;
      text += Format("  %s: listed, %d signature(s) %s\n", file.OriginalFilename(),
                     static_cast<int64_t>(signatures.size()),
                     same ? "equal to the ones sent" : "DIFFERENT from the ones sent");
      return same;
    }
  }
  text += "  " + file.OriginalFilename() + ": NOT listed\n";
  return false;
}

// The abonent's side: verifies the notice's signature and checks that it lists every file of
// the package it sent (at sent) with the Base64 of each signature; true when all holds.
bool CheckNotice(const DemoHome& home, const Participant& abonent, const std::string& sent,
                 const std::string& path, ScopedEnvironment& environment, std::string& text) {
  environment.Set("LYR_TDX_HOME", abonent.home);
  CTdx880Doc notice;
  notice.SetTmpDir(home.Path("tmp"));
  notice.Open(path);
  text += "  opened " + path + "\n";
  const PackageCheck verification = VerifyPackage(notice, false, true);
  text += Indented(verification.text, "  ");
  xml::CXMLGprNoticeReceipt receipt;
  receipt.SetDocument(notice.GetMainFile()->RawContent());
  receipt.Read();

  CTdx880Doc outgoing;
  outgoing.SetTmpDir(home.Path("tmp"));
  outgoing.Open(sent);
  bool listed = receipt.ReceivedFiles().Count() == outgoing.GetFileCount();
  for (int32_t i = 0; i < outgoing.GetFileCount(); ++i) {
    std::vector<std::string> signatures;
    for (int32_t sign = 0; sign < outgoing.GetFileSignatureCount(i); ++sign) {
      signatures.push_back(
          rtl::EncodeBase64(outgoing.GetFileSignature(i, sign)->SignatureContent()));
    }
    listed = ListsFile(receipt, *outgoing.GetFile(i), signatures, text) && listed;
  }
  if (verification.failed == 0 && verification.checked > 0 && listed) {
    text += "result: the notice is signed by the tax authority and confirms every file sent\n";
    return true;
  }
  text += Format("result: FAILED (%d signature problem(s), files %s)\n", verification.failed,
                 listed ? "listed" : "NOT all listed as sent");
  return false;
}

int RunDemo(const Arguments& arguments) {
  const std::optional<Options> options = ParseOptions(arguments, {"--keep", "--alg"});
  const std::optional<crypt::GostAlgorithm> algorithm =
      options ? crypt::GostAlgorithmFromName(options->Value("--alg", "gost2001")) : std::nullopt;
  if (!options || !options->positional.empty() || !algorithm) {
    return UsageError(kDemoUsage);
  }
  const crypt::CryptoRuntime runtime;
  std::optional<std::string> keep;
  if (options->Has("--keep")) {
    keep = package::ExpandPackagePath(FromTerminal(options->Value("--keep")));
  }
  const DemoHome home(keep);
  ScopedEnvironment environment;
  environment.Set("LYR_TDX_MACHINE_HOME", home.Path("machine"));
  environment.Set("TMP", home.Path("tmp"));
  if (!rtl::ForceDirectories(home.Path("tmp"))) {
    throw rtl::Exception("cannot create the folder " + home.Path("tmp"));
  }
  Print("tdx880 demo in " + home.Folder() + (keep ? " (kept)\n" : " (removed at the end)\n"));

  std::string text =
      "1. test PKI (" + std::string(crypt::GostAlgorithmName(*algorithm)) + " keys)\n";
  const DemoPki pki = MakePki(*algorithm);
  text += "  root " + CertificateLine(pki.root) + "\n";
  text += "  CRL of the root: no certificate revoked, next update " +
          UtcText(pki.crl.NextUpdate()) + "\n";
  Print(text);

  text = "2. the tax authority: key container, certificate in MY, root in ROOT, CRL in CA\n";
  const Participant tax_authority = MakeParticipant(
      pki, environment, home.Path("tax-authority"), "tax-authority",
      Msg(u8"CN=ИФНС России № 1 по г. Москве,O=ФНС России,C=RU"), "1002", *algorithm);
  text += "  home " + tax_authority.home + "\n  container \"" + tax_authority.container +
          "\", certificate " + CertificateLine(tax_authority.certificate) + "\n";
  Print(text);

  text =
      "3. the abonent: key container, certificate in MY, root in ROOT, CRL in CA, the tax "
      "authority's certificate in addressbook\n";
  const Participant abonent = MakeParticipant(
      pki, environment, home.Path("abonent"), "abonent",
      Msg(u8"CN=ООО Ромашка,O=ООО Ромашка,C=RU,INN=007701234560"), "1001", *algorithm);
  {
    crypt::CTdx880Crypt crypt;
    crypt.Init(true);
    crypt::CTdx880Key key;
    crypt.ImportOpponentCertificate(tax_authority.certificate.Der(), &key);
  }
  text += "  home " + abonent.home + "\n  container \"" + abonent.container + "\", certificate " +
          CertificateLine(abonent.certificate) + "\n";
  Print(text);

  text = "4. the abonent builds, signs, encrypts and saves the declaration package\n";
  const std::string path = BuildPackage(home, abonent, tax_authority, environment, text);
  Print(text);

  text = "5. the package travels from the abonent to the tax authority as an e-mail message\n";
  const std::string received = SendByMail(home, path, kToTaxAuthority, text);
  Print(text);

  text = "6. the tax authority opens, decrypts and verifies the package\n";
  const bool valid = ReceivePackage(home, tax_authority, received, environment, text);
  Print(text);
  if (!valid) {
    return 1;
  }

  text = "7. the tax authority answers with a signed notice of receipt, sent back by e-mail\n";
  const std::string notice = AnswerWithNotice(home, tax_authority, received, environment, text);
  const std::string notice_received = SendByMail(home, notice, kToAbonent, text);
  Print(text);

  text = "8. the abonent opens the notice and checks that it lists each file it sent\n";
  const bool confirmed = CheckNotice(home, abonent, path, notice_received, environment, text);
  Print(text);
  return confirmed ? 0 : 1;
}

}  // namespace

std::vector<Command> DemoCommands() {
  return {
      {"demo", kDemoUsage.substr(std::string_view("demo ").size()),
       "run the whole road in a temporary home: a test root and CRL, an abonent and a tax "
       "authority with keys and certificates; the abonent builds a declaration package (flow "
       "01, transaction 01), signs, encrypts and saves it; it travels as an e-mail message; the "
       "tax authority opens, decrypts and verifies it and answers with a signed notice of "
       "receipt, which travels back by e-mail; the abonent checks that the notice lists every "
       "file with its signatures; exit status 0 only when every signature is valid and the "
       "notice confirms every file; --keep leaves the home in DIR; --alg chooses the kind of "
       "every key (GOST R 34.10-2001 by default)",
       &Guarded<&RunDemo>},
  };
}

}  // namespace lyr::tool
