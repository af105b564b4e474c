// tdx880 container: makes GOST R 34.10 key containers of each kind (with a PKCS#10 request or a
// self-signed certificate in "MY"), imports keys people already have with their certificates
// (PKCS#12, or a PEM key and a certificate), and lists the containers of a store location.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "crypt/crypto_api20_utils.h"
#include "crypt/platform/cert_store.h"
#include "crypt/platform/crypt_error.h"
#include "crypt/platform/crypto_runtime.h"
#include "crypt/platform/key_container.h"
#include "crypt/platform/pki_builder.h"
#include "crypt/provider_context.h"
#include "crypt_options.h"
#include "options.h"
#include "rtl/atomic_file.h"
#include "rtl/errors.h"
#include "rtl/identifiers.h"
#include "rtl/whole_file.h"
#include "store_json.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

constexpr std::string_view kNewUsage =
    "container new NAME --subject DN [-o FILE] [--self-signed [--days N]] "
    "[--alg gost2001|gost2012-256|gost2012-512] [--paramset P] [--machine]";
constexpr std::string_view kImportUsage =
    "container import NAME (--pfx FILE | --key PEM --cert CERT) [--password-file F] [--machine]";
constexpr std::string_view kListUsage = "container list [--machine] [--json]";

struct NewOptions {
  std::string name;
  std::string subject;
  std::optional<std::string> output;
  bool self_signed = false;
  int32_t days = 365;
  crypt::GostAlgorithm algorithm = crypt::GostAlgorithm::k2001;
  std::string param_set;
  bool machine = false;
};

bool IsParamSetOf(crypt::GostAlgorithm algorithm, const std::string& text) {
  for (const std::string_view name : crypt::GostParamSetNames(algorithm)) {
    if (text == name) {
      return true;
    }
  }
  return false;
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
  const std::optional<Options> options =
      ParseOptions(arguments, {"--subject", "-o", "--days", "--alg", "--paramset"},
                   {"--self-signed", "--machine"});
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
  const auto algorithm = crypt::GostAlgorithmFromName(options->Value("--alg", "gost2001"));
  if (!days || !algorithm) {
    return std::nullopt;
  }
  result.days = *days;
  result.algorithm = *algorithm;
  result.param_set =
      options->Value("--paramset", std::string(crypt::GostParamSetNames(*algorithm).front()));
  if (!IsParamSetOf(*algorithm, result.param_set)) {
    return std::nullopt;
  }
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

// Puts the container's certificate into "MY" of the container's location, bound to it.
void BindInMy(const crypt::KeyContainer& container, const crypt::Certificate& certificate) {
  crypt::Certificate bound = certificate;
  // A container of the local machine is named by the machine-key-set flag of the binding.
  const bool machine = container.Location() == crypt::StoreLocation::kLocalMachine;
  const uint32_t flags = 1 | (machine ? crypt::acquire::kMachineKeyset : 0);
  bound.SetKeyProv(crypt::KeyProvInfo{container.Name(), std::string(crypt::kGostProviderName),
                                      crypt::kGostProviderType, flags, 1});
  crypt::CertStore::OpenSystem(container.Location(), "MY")
      .Add(bound, crypt::AddDisposition::kReplaceExisting);
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
  BindInMy(container, certificate);
  if (options.output) {
    Emit(options, crypt::CertificateToPem(certificate));
  }
  Print(certificate.Thumbprint() + " " + Escaped(certificate.SubjectCN().value_or("")) + "\n");
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
      crypt::KeyContainer::Create(location, options->name, options->algorithm, options->param_set);
  try {
    FillContainer(*options, container, subject);
  } catch (...) {
    crypt::KeyContainer::Delete(location, options->name);
    throw;
  }
  return 0;
}

// The password of --password-file: the file's bytes up to the first line end (a file written
// with echo ends with one); none without the option.
std::optional<std::string> PasswordOf(const Options& options) {
  if (!options.Has("--password-file")) {
    return std::nullopt;
  }
  const std::string file = FromTerminal(options.Value("--password-file"));
  const rtl::RegularFileRead read = rtl::ReadRegularFile(file, 4096, true);
  if (!read.ok) {
    throw rtl::Exception("cannot read the password file " + file + ": " +
                         (read.missing ? std::string("no such file") : read.reason));
  }
  return read.bytes.substr(0, read.bytes.find_first_of("\r\n"));
}

// The key and certificate to import, each checked before anything is written.
crypt::KeyWithCertificate ImportedKey(const Options& options) {
  const std::optional<std::string> password = PasswordOf(options);
  const auto read = [&](const char* option) {
    return rtl::LoadFileToString(FromTerminal(options.Value(option)), crypt::kStoreFileLimit);
  };
  if (options.Has("--pfx")) {
    return crypt::ReadPkcs12(read("--pfx"), password);
  }
  std::string pem = read("--key");
  const crypt::PrivateKey key = crypt::PrivateKey::FromPem(pem, password);
  std::fill(pem.begin(), pem.end(), '\0');
  const crypt::Certificate certificate =
      crypt::CCryptoAPI20Utils::CertificateFromBody(read("--cert"));
  return {key, certificate};
}

// container import NAME (--pfx FILE | --key PEM --cert CERT) [--password-file F] [--machine]
int RunImport(const Arguments& arguments) {
  const std::optional<Options> options =
      ParseOptions(arguments, {"--pfx", "--key", "--cert", "--password-file"}, {"--machine"});
  if (!options || options->positional.size() != 1 ||
      options->Has("--pfx") == (options->Has("--key") || options->Has("--cert")) ||
      options->Has("--key") != options->Has("--cert")) {
    return UsageError(kImportUsage);
  }
  const crypt::CryptoRuntime runtime;
  const std::string name = FromTerminal(options->positional[0]);
  const crypt::StoreLocation location = LocationOf(*options);
  if (crypt::KeyContainer::Exists(location, name)) {
    crypt::RaiseCryptError(crypt::code::kNteExists, "(container " + name + ")");
  }
  const crypt::KeyWithCertificate imported = ImportedKey(*options);
  // Bound in "MY" before the container appears: a run killed at any moment leaves no container
  // without its binding, and a retry replaces a binding left behind.
  crypt::KeyContainer::Import(
      location, name, imported.key, imported.certificate,
      [&](const crypt::KeyContainer& container) { BindInMy(container, imported.certificate); });
  Print(imported.certificate.Thumbprint() + " " +
        Escaped(imported.certificate.SubjectCN().value_or("")) + " " +
        std::string(crypt::GostAlgorithmName(*imported.key.Algorithm())) + "\n");
  return 0;
}

int RunList(const Arguments& arguments) {
  const std::optional<Options> options = ParseOptions(arguments, {}, {"--machine", "--json"});
  if (!options || !options->positional.empty()) {
    return UsageError(kListUsage);
  }
  const crypt::CryptoRuntime runtime;
  const crypt::StoreLocation location = LocationOf(*options);
  const std::vector<std::string> names = crypt::KeyContainer::Enumerate(location);
  if (options->Has("--json")) {
    for (const std::string& name : names) {
      Print(ContainerJson(name, crypt::KeyContainer::Open(location, name).GetCertificate(),
                          options->Has("--machine")));
    }
    return 0;
  }
  if (names.empty()) {
    Print("no key containers in " + crypt::LocationFolder(location) + "\n");
    return 0;
  }
  for (const std::string& name : names) {
    const auto certificate = crypt::KeyContainer::Open(location, name).GetCertificate();
    Print(Escaped(name) + "\t" + (certificate ? certificate->Thumbprint() : std::string("-")) +
          "\t" + Escaped(certificate ? certificate->SubjectCN().value_or("") : std::string()) +
          "\n");
  }
  return 0;
}

}  // namespace

std::vector<Command> ContainerCommands() {
  return {
      {"container new", kNewUsage.substr(std::string_view("container new ").size()),
       "make a GOST R 34.10 key container (--alg: 2001 by default, or 2012 with a 256- or 512-bit "
       "key; --paramset: XA|A|B for 2001, XA|A|B|C|XB|TCA|TCB|TCC|TCD for 2012-256, A|B|C for "
       "2012-512, the first the default) and write a PKCS#10 request (PEM) for its key to FILE "
       "or standard output, or with --self-signed put a self-signed certificate bound to it into "
       "\"MY\" (FILE then receives the certificate); both are signed with the key's own hash",
       &Guarded<&RunNew>},
      {"container import", kImportUsage.substr(std::string_view("container import ").size()),
       "put an existing GOST private key into a new container and its certificate, bound to it, "
       "into \"MY\": from a PKCS#12 file, or from a PEM key and a certificate (PEM or DER); "
       "--password-file holds the password of the PKCS#12 file or of an encrypted PEM key; a "
       "wrong password, a certificate of another key or a key that is not GOST changes nothing",
       &Guarded<&RunImport>},
      {"container list", "[--machine] [--json]",
       "list the key containers with the thumbprint and common name of their certificates "
       "(--json: a JSON line each)",
       &Guarded<&RunList>},
  };
}

}  // namespace lyr::tool
