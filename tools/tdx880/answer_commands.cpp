// tdx880 receipt / error-package: the answer packages to a received package, built by the same
// engine code as the Manager's CreateIPPackage and CreateErrorPackageEx.
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "automation/tdx880_subject.h"
#include "automation/tdx880_subject_party.h"
#include "command.h"
#include "crypt/tdx880_crypt.h"
#include "crypt/tdx880_key.h"
#include "crypt_options.h"
#include "options.h"
#include "package/tdx880_answers.h"
#include "package/tdx880_doc.h"
#include "package/tdx880_document.h"
#include "package/tdx880_tool.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/whole_file.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

using automation::CTdx880Subject;

constexpr std::string_view kReceiptUsage =
    "receipt PACKAGE --by ul|fl|no|sos --id ID [--inn INN] [--kpp KPP] [--name NAME] "
    "[--fio FIO] [--sender-inn INN --sender-kpp KPP [--sender-name NAME]] [--sign THUMBPRINT] "
    "[--encrypt-for THUMBPRINT] -o DIR";
constexpr std::string_view kErrorUsage =
    "error-package PACKAGE --text FILE [--sender ID:TYPE --receiver ID:TYPE] -o DIR";

std::string ThumbprintOf(const std::string& text) {
  const std::optional<std::string> thumbprint = NormalThumbprint(text);
  if (!thumbprint) {
    throw rtl::Exception("not a SHA-1 thumbprint (40 hexadecimal digits): " + FromTerminal(text));
  }
  return *thumbprint;
}

// The confirming participant from --by and its values, each through the model's checks.
std::unique_ptr<CTdx880Subject> Corroborant(const Options& options) {
  const std::string kind = options.Value("--by");
  std::unique_ptr<CTdx880Subject> subject;
  if (kind == "ul") {
    auto ul = std::make_unique<automation::CTdx880SubjectUL>();
    ul->SetInn(FromTerminal(options.Value("--inn")));
    ul->SetKpp(FromTerminal(options.Value("--kpp")));
    ul->SetName(FromTerminal(options.Value("--name", options.Value("--id"))));
    subject = std::move(ul);
  } else if (kind == "fl") {
    auto fl = std::make_unique<automation::CTdx880SubjectFL>();
    fl->SetInn(FromTerminal(options.Value("--inn")));
    fl->SetFIO(FromTerminal(options.Value("--fio")));
    subject = std::move(fl);
  } else if (kind == "no") {
    subject = std::make_unique<automation::CTdx880SubjectNO>();
  } else if (kind == "sos") {
    auto sos = std::make_unique<automation::CTdx880SubjectSOS>();
    sos->SetName(FromTerminal(options.Value("--name", options.Value("--id"))));
    subject = std::move(sos);
  } else {
    throw rtl::Exception("--by takes ul, fl, no or sos: " + FromTerminal(kind));
  }
  subject->SetIdentifier(FromTerminal(options.Value("--id")));
  return subject;
}

// The participant of the kind the received package names by its subject code, with the
// package's identifier (the name of an operator, too); a tax payer is an organisation with the
// --sender-inn, --sender-kpp and --sender-name (or the identifier) of the command line.
std::unique_ptr<CTdx880Subject> PartyOfCode(uint8_t code, const std::string& identifier,
                                            const Options& options) {
  std::unique_ptr<CTdx880Subject> subject;
  if (code == package::kSubjectTaxAuthority) {
    subject = std::make_unique<automation::CTdx880SubjectNO>();
  } else if (code == package::kSubjectSpecialOperator) {
    auto sos = std::make_unique<automation::CTdx880SubjectSOS>();
    sos->SetName(identifier);
    subject = std::move(sos);
  } else {
    auto ul = std::make_unique<automation::CTdx880SubjectUL>();
    ul->SetName(options.Has("--sender-name") ? FromTerminal(options.Value("--sender-name"))
                                             : identifier);
    ul->SetInn(FromTerminal(options.Value("--sender-inn")));
    ul->SetKpp(FromTerminal(options.Value("--sender-kpp")));
    subject = std::move(ul);
  }
  subject->SetIdentifier(identifier);
  return subject;
}

void SaveInto(package::CTdx880Doc& package, const std::string& output) {
  const std::string folder = package::ExpandPackagePath(FromTerminal(output));
  if (!rtl::ForceDirectories(folder)) {
    rtl::RaiseLastOSError();
  }
  package.Save(folder);
  Print(Escaped(package.FileName()) + "\n");
}

int RunReceipt(const Arguments& arguments) {
  const std::optional<Options> options = ParseOptions(
      arguments, {"--by", "--id", "--inn", "--kpp", "--name", "--fio", "--sign", "--sender-inn",
                  "--sender-kpp", "--sender-name", "--encrypt-for", "-o"});
  if (!options || options->positional.size() != 1 || !options->Has("--by") ||
      !options->Has("--id") || !options->Has("-o")) {
    return UsageError(kReceiptUsage);
  }
  package::CTdx880Doc source;
  source.Open(FromTerminal(options->positional[0]));
  const std::unique_ptr<CTdx880Subject> corroborant = Corroborant(*options);
  const std::unique_ptr<CTdx880Subject> sender =
      PartyOfCode(source.SenderType(), source.SenderIdentifier(), *options);
  const std::unique_ptr<CTdx880Subject> receiver =
      PartyOfCode(source.ReceiverType(), source.ReceiverIdentifier(), *options);
  automation::CSubjectParty corroborant_party(*corroborant);
  automation::CSubjectParty sender_party(*sender);
  automation::CSubjectParty receiver_party(*receiver);
  package::CTdx880Doc notice;
  package::BuildNoticeOfReceipt(source, notice, corroborant_party, sender_party, receiver_party);
  if (options->Has("--sign")) {
    crypt::CTdx880Crypt crypt;
    crypt.Init(true);
    crypt::CTdx880Key key;
    crypt.GetPrivateKeyBySha1(ThumbprintOf(options->Value("--sign")), &key);
    notice.SignFile(notice.GetFile(0)->OriginalFilename(), &key);
  }
  if (options->Has("--encrypt-for")) {
    crypt::CTdx880Key key;
    key.SetSha1(ThumbprintOf(options->Value("--encrypt-for")));
    notice.Encrypt(&key);
  }
  SaveInto(notice, options->Value("-o"));
  return 0;
}

// "ID:TYPE" with TYPE the automation subject type (0 to 4).
std::pair<std::string, int32_t> Participant(const std::string& text) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon + 1 == text.size() ||
      text.find_first_not_of("0123456789", colon + 1) != std::string::npos ||
      text.size() - colon > 4) {
    throw rtl::Exception("a participant is ID:TYPE with TYPE 0 to 4: " + FromTerminal(text));
  }
  return {FromTerminal(text.substr(0, colon)), std::stoi(text.substr(colon + 1))};
}

int RunErrorPackage(const Arguments& arguments) {
  const std::optional<Options> options =
      ParseOptions(arguments, {"--text", "--sender", "--receiver", "-o"});
  if (!options || options->positional.size() != 1 || !options->Has("--text") ||
      !options->Has("-o") || options->Has("--sender") != options->Has("--receiver")) {
    return UsageError(kErrorUsage);
  }
  package::CTdx880Doc source;
  source.Open(FromTerminal(options->positional[0]));
  std::string text = rtl::LoadFileToString(FromTerminal(options->Value("--text")));
  package::CTdx880Doc answer;
  if (options->Has("--sender")) {
    auto [sender, sender_type] = Participant(options->Value("--sender"));
    auto [receiver, receiver_type] = Participant(options->Value("--receiver"));
    package::BuildErrorPackageEx(source, answer, std::move(sender), sender_type,
                                 std::move(receiver), receiver_type, std::move(text));
  } else {
    package::BuildErrorPackage(source, answer, std::move(text));
  }
  SaveInto(answer, options->Value("-o"));
  return 0;
}

}  // namespace

std::vector<Command> AnswerCommands() {
  return {
      {"receipt", kReceiptUsage.substr(std::string_view("receipt ").size()),
       "answer a received package with a notice of receipt from the participant --by: the "
       "answering transaction and its main document from the code tables, the notice listing "
       "every file with the Base64 of each signature; optionally signed and encrypted",
       &Guarded<&RunReceipt>},
      {"error-package", kErrorUsage.substr(std::string_view("error-package ").size()),
       "answer a package with an error-message package (flow 07, transaction 01): the text as "
       "TR_SOSH.xml and the package's description; sender and receiver swapped, or as given",
       &Guarded<&RunErrorPackage>},
  };
}

}  // namespace lyr::tool
