// tdx880 container: makes GOST R 34.10-2001 key containers (with a PKCS#10 request or a
// self-signed certificate in "MY") and lists the containers of a store location.
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "crypt/platform/cert_store.h"
#include "crypt/platform/crypto_runtime.h"
#include "crypt/platform/key_container.h"
#include "crypt/platform/pki_builder.h"
#include "crypt/provider_context.h"
#include "options.h"
#include "rtl/atomic_file.h"
#include "rtl/errors.h"
#include "rtl/identifiers.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

constexpr std::string_view kNewUsage =
    "container new NAME --subject DN [-o FILE] [--self-signed [--days N]] [--paramset XA|A|B] "
    "[--machine]";
constexpr std::string_view kListUsage = "container list [--machine]";

struct NewOptions {
  std::string name;
  std::string subject;
  std::optional<std::string> output;
  bool self_signed = false;
  int32_t days = 365;
  crypt::GostParamSet param_set = crypt::GostParamSet::kXA;
  bool machine = false;
};

std::optional<crypt::GostParamSet> ParamSetOf(const std::string& text) {
  if (text == "XA") {
    return crypt::GostParamSet::kXA;
  }
  if (text == "A") {
    return crypt::GostParamSet::kA;
  }
  if (text == "B") {
    return crypt::GostParamSet::kB;
  }
  return std::nullopt;
}

// 1 to 99999 days.
std::optional<int32_t> DaysOf(const std::string& text) {
  if (text.empty() || text.size() > 5 ||
      text.find_first_not_of("0123456789") != std::string::npos || std::stoi(text) == 0) {
    return std::nullopt;
  }
  return std::stoi(text);
}

// The options of "container new"; nothing when they are wrong.
std::optional<NewOptions> ParseNew(const Arguments& arguments) {
  const std::optional<Options> options = ParseOptions(
      arguments, {"--subject", "-o", "--days", "--paramset"}, {"--self-signed", "--machine"});
  if (!options || options->positional.size() != 1 || !options->Has("--subject") ||
      (options->Has("--days") && !options->Has("--self-signed"))) {
    return std::nullopt;
  }
  NewOptions result;
  result.name = FromTerminal(options->positional[0]);
  result.subject = options->Value("--subject");
  if (options->Has("-o")) {
    result.output = options->Value("-o");
  }
  result.self_signed = options->Has("--self-signed");
  result.machine = options->Has("--machine");
  const auto days = DaysOf(options->Value("--days", "365"));
  const auto param_set = ParamSetOf(options->Value("--paramset", "XA"));
  if (!days || !param_set) {
    return std::nullopt;
  }
  result.days = *days;
  result.param_set = *param_set;
  return result;
}

// A random positive 128-bit serial number.
std::string RandomSerial() {
  std::string serial = rtl::NewFileId();
  serial[0] = '1';  // a leading non-zero digit below 8: positive, sixteen bytes
  return serial;
}

crypt::Certificate MakeSelfSigned(const NewOptions& options,
                                  const std::vector<crypt::NameAttribute>& subject,
                                  const crypt::PrivateKey& key) {
  crypt::CertificateSpec fields;
  fields.serial_hex = RandomSerial();
  fields.subject = subject;
  fields.not_before = static_cast<int64_t>(std::time(nullptr));
  fields.not_after = fields.not_before + int64_t{options.days} * 86400;
  fields.basic_constraints = crypt::ExtensionMode::kNonCritical;
  fields.key_usage = crypt::key_usage::kEndEntity;
  return crypt::IssueSelfSigned(fields, key);
}

// Writes text to the -o file (atomically) or to standard output.
void Emit(const NewOptions& options, const std::string& text) {
  if (options.output) {
    const std::string file = FromTerminal(*options.output);
    try {
      rtl::WriteFileAtomically(file, text, 0644);
    } catch (const rtl::Exception& error) {
      throw rtl::Exception("cannot write " + file + ": " + error.Message());
    }
  } else {
    PrintBytes(text);
  }
}

// Fills a fresh container; the container is removed again when this fails.
void FillContainer(const NewOptions& options, const crypt::KeyContainer& container,
                   const std::vector<crypt::NameAttribute>& subject) {
  const crypt::PrivateKey key = container.GetPrivateKey();
  if (!options.self_signed) {
    Emit(options, crypt::MakeCertificateRequestPem(subject, key));
    return;
  }
  const crypt::Certificate certificate = MakeSelfSigned(options, subject, key);
  container.SetCertificate(certificate);
  crypt::Certificate bound = certificate;
  // A container of the local machine is named by the machine-key-set flag of the binding.
  const uint32_t flags = 1 | (options.machine ? crypt::acquire::kMachineKeyset : 0);
  bound.SetKeyProv(crypt::KeyProvInfo{options.name, std::string(crypt::kGostProviderName),
                                      crypt::kGostProviderType, flags, 1});
  crypt::CertStore::OpenSystem(container.Location(), "MY")
      .Add(bound, crypt::AddDisposition::kReplaceExisting);
  if (options.output) {
    Emit(options, crypt::CertificateToPem(certificate));
  }
  Print(certificate.Thumbprint() + " " + certificate.SubjectCN().value_or("") + "\n");
}

int RunNew(const Arguments& arguments) {
  const std::optional<NewOptions> options = ParseNew(arguments);
  if (!options) {
    return UsageError(kNewUsage);
  }
  const crypt::CryptoRuntime runtime;
  const std::vector<crypt::NameAttribute> subject =
      crypt::ParseDistinguishedName(FromTerminal(options->subject));
  const crypt::StoreLocation location =
      options->machine ? crypt::StoreLocation::kLocalMachine : crypt::StoreLocation::kCurrentUser;
  const crypt::KeyContainer container =
      crypt::KeyContainer::Create(location, options->name, options->param_set);
  try {
    FillContainer(*options, container, subject);
  } catch (...) {
    crypt::KeyContainer::Delete(location, options->name);
    throw;
  }
  return 0;
}

int RunList(const Arguments& arguments) {
  const std::optional<Options> options = ParseOptions(arguments, {}, {"--machine"});
  if (!options || !options->positional.empty()) {
    return UsageError(kListUsage);
  }
  const crypt::CryptoRuntime runtime;
  const crypt::StoreLocation location = options->Has("--machine")
                                            ? crypt::StoreLocation::kLocalMachine
                                            : crypt::StoreLocation::kCurrentUser;
  const std::vector<std::string> names = crypt::KeyContainer::Enumerate(location);
  if (names.empty()) {
    Print("no key containers in " + crypt::LocationFolder(location) + "\n");
    return 0;
  }
  for (const std::string& name : names) {
    const auto certificate = crypt::KeyContainer::Open(location, name).GetCertificate();
    Print(name + "\t" + (certificate ? certificate->Thumbprint() : std::string("-")) + "\t" +
          (certificate ? certificate->SubjectCN().value_or("") : std::string()) + "\n");
  }
  return 0;
}

}  // namespace

std::vector<Command> ContainerCommands() {
  return {
      {"container new", kNewUsage.substr(std::string_view("container new ").size()),
       "make a GOST R 34.10-2001 key container and write a PKCS#10 request (PEM) for its key to "
       "FILE or standard output, or with --self-signed put a self-signed certificate bound to it "
       "into \"MY\" (FILE then receives the certificate)",
       &Guarded<&RunNew>},
      {"container list", "[--machine]",
       "list the key containers with the thumbprint and common name of their certificates",
       &Guarded<&RunList>},
  };
}

}  // namespace lyr::tool
