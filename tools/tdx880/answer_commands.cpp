// tdx880 receipt / error-package: the answer packages to a received package, built by the same
// engine code as the Manager's CreateIPPackage and CreateErrorPackageEx.
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "answer_parties.h"
#include "automation/tdx880_subject.h"
#include "automation/tdx880_subject_party.h"
#include "batch.h"
#include "command.h"
#include "crypt/tdx880_crypt.h"
#include "crypt/tdx880_key.h"
#include "crypt_options.h"
#include "options.h"
#include "package/tdx880_answers.h"
#include "package/tdx880_doc.h"
#include "package/tdx880_document.h"
#include "package/tdx880_tool.h"
#include "package_json.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/whole_file.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

using automation::CTdx880Subject;

constexpr std::string_view kReceiptUsage =
    "receipt PACKAGE... --by ul|fl|no|sos --id ID [--inn INN] [--kpp KPP] [--name NAME] "
    "[--fio FIO] [--sender-inn INN --sender-kpp KPP [--sender-name NAME]] [--sign THUMBPRINT] "
    "[--encrypt-for THUMBPRINT] -o DIR [--jobs N] [--json] [--quiet]";
constexpr std::string_view kErrorUsage =
    "error-package PACKAGE --text FILE [--sender ID:TYPE --receiver ID:TYPE] -o DIR";

}  // namespace

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

namespace {

// Saves the package into the folder output names; returns the file's path.
std::string SaveInto(package::CTdx880Doc& package, const std::string& output) {
  const std::string folder = package::ExpandPackagePath(FromTerminal(output));
  if (!rtl::ForceDirectories(folder)) {
    rtl::RaiseLastOSError();
  }
  package.Save(folder);
  return package.FileName();
}

// The keys a receipt is signed with and encrypted for, found once for every package.
struct ReceiptKeys {
  std::optional<crypt::CTdx880Key> sign;
  std::optional<crypt::CTdx880Key> encrypt;

  explicit ReceiptKeys(const Options& options) {
    if (options.Has("--sign")) {
      crypt::CTdx880Crypt crypt;
      crypt.Init(true);
      crypt.GetPrivateKeyBySha1(ThumbprintOf(options.Value("--sign")), &sign.emplace());
    }
    if (options.Has("--encrypt-for")) {
      encrypt.emplace().SetSha1(ThumbprintOf(options.Value("--encrypt-for")));
    }
  }
};

// The notice of receipt of one package, saved.
PackageResult ReceiptOne(const std::string& argument, const Options& options,
                         const ReceiptKeys& keys, bool json) {
  return JudgeOne("receipt", argument, json, [&](Judging& judging) -> PackageResult {
    package::CTdx880Doc source;
    source.Open(judging.path);
    judging.stage = "answer";
    const std::unique_ptr<CTdx880Subject> corroborant = Corroborant(options);
    const std::unique_ptr<CTdx880Subject> sender =
        PartyOfCode(source.SenderType(), source.SenderIdentifier(), options);
    const std::unique_ptr<CTdx880Subject> receiver =
        PartyOfCode(source.ReceiverType(), source.ReceiverIdentifier(), options);
    automation::CSubjectParty corroborant_party(*corroborant);
    automation::CSubjectParty sender_party(*sender);
    automation::CSubjectParty receiver_party(*receiver);
    package::CTdx880Doc notice;
    package::BuildNoticeOfReceipt(source, notice, corroborant_party, sender_party, receiver_party);
    if (keys.sign) {
      notice.SignFile(notice.GetFile(0)->OriginalFilename(), &*keys.sign);
    }
    if (keys.encrypt) {
      notice.Encrypt(&*keys.encrypt);
    }
    judging.stage = "write";
    const std::string saved = SaveInto(notice, options.Value("-o"));
    if (json) {
      PackageFacts facts("receipt", judging.path);
      facts.package = &source;
      facts.receipt = saved;
      return {PackageJson(facts), "", true};
    }
    return {Escaped(saved) + "\n", "", true};
  });
}

int RunReceipt(const Arguments& arguments) {
  const std::optional<Options> options =
      ParseOptions(arguments,
                   {"--by", "--id", "--inn", "--kpp", "--name", "--fio", "--sign", "--sender-inn",
                    "--sender-kpp", "--sender-name", "--encrypt-for", "-o", "--jobs"},
                   {"--json", "--quiet"});
  const std::optional<Batch> batch = options ? BatchOf(*options) : std::nullopt;
  if (!batch || !options->Has("--by") || !options->Has("--id") || !options->Has("-o")) {
    return UsageError(kReceiptUsage);
  }
  Corroborant(*options);  // its values checked once, before any package
  const ReceiptKeys keys(*options);
  return RunBatch(*batch, [&](const std::string& path) {
    return ReceiptOne(path, *options, keys, batch->json);
  });
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
  Print(Escaped(SaveInto(answer, options->Value("-o"))) + "\n");
  return 0;
}

}  // namespace

std::vector<Command> AnswerCommands() {
  return {
      {"receipt", kReceiptUsage.substr(std::string_view("receipt ").size()),
       "answer a received package with a notice of receipt from the participant --by: the "
       "answering transaction and its main document from the code tables, the notice listing "
       "every file with the Base64 of each signature; optionally signed and encrypted; many "
       "packages (- reads their paths from standard input) are answered --jobs at a time "
       "(default: the cores) and reported in order; --json writes a JSON line per package",
       &Guarded<&RunReceipt>},
      {"error-package", kErrorUsage.substr(std::string_view("error-package ").size()),
       "answer a package with an error-message package (flow 07, transaction 01): the text as "
       "TR_SOSH.xml and the package's description; sender and receiver swapped, or as given",
       &Guarded<&RunErrorPackage>},
  };
}

}  // namespace lyr::tool
