// tdx880 cert list|show|import|import-chain: the certificates of the stores, one certificate's
// fields, and putting certificates, CRLs and chains into the stores.
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "command.h"
#include "crypt/crypto_api20_utils.h"
#include "crypt/crypto_provider.h"
#include "crypt/platform/cert_store.h"
#include "crypt/platform/crypt_error.h"
#include "crypt_options.h"
#include "options.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/format.h"
#include "rtl/hex.h"
#include "rtl/whole_file.h"
#include "store_json.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

using crypt::CCryptoAPI20Utils;
using crypt::Certificate;
using rtl::Format;

constexpr std::string_view kListUsage = "cert list [--store S] [--machine] [--json]";
constexpr std::string_view kShowUsage = "cert show FILE|THUMBPRINT [--machine] [--json]";

// The short names of the attributes people know; others show as their object identifiers.
std::string AttributeName(const std::string& oid) {
  static const std::map<std::string, std::string> kNames = {{"2.5.4.3", "CN"},
                                                            {"2.5.4.4", "SN"},
                                                            {"2.5.4.42", "G"},
                                                            {"2.5.4.12", "T"},
                                                            {"2.5.4.10", "O"},
                                                            {"2.5.4.11", "OU"},
                                                            {"2.5.4.6", "C"},
                                                            {"2.5.4.7", "L"},
                                                            {"2.5.4.8", "ST"},
                                                            {"2.5.4.9", "STREET"},
                                                            {"1.2.840.113549.1.9.1", "E"},
                                                            {"1.2.643.3.131.1.1", "INN"},
                                                            {"1.2.643.100.1", "OGRN"},
                                                            {"1.2.643.100.3", "SNILS"},
                                                            {"1.2.643.100.5", "OGRNIP"}};
  const auto found = kNames.find(oid);
  return found == kNames.end() ? oid : found->second;
}

std::string NameText(const std::vector<crypt::NameAttribute>& name) {
  std::string text;
  for (const crypt::NameAttribute& attribute : name) {
    if (!text.empty()) {
      text += ", ";
    }
    text += AttributeName(attribute.oid) + "=" + Escaped(attribute.value);
  }
  return text.empty() ? "(empty)" : text;
}

// A field the library reads from the certificate, or the library's message when it cannot.
template <typename Read>
std::string FieldText(Read&& read) {
  try {
    const std::string value = read();
    return value.empty() ? "(none)" : Escaped(value);
  } catch (const rtl::Exception& error) {
    return EscapedMessage(error.Message());
  }
}

std::string BasicConstraintsText(const Certificate& certificate) {
  try {
    const std::optional<crypt::BasicConstraints> constraints = certificate.GetBasicConstraints();
    if (!constraints) {
      return "(none)";
    }
    std::string text = constraints->ca ? "CA" : "not a CA";
    if (constraints->path_length >= 0) {
      text += Format(", path length %d", constraints->path_length);
    }
    return text + (constraints->critical ? ", critical" : ", not critical");
  } catch (const rtl::Exception& error) {
    return EscapedMessage(error.Message());
  }
}

std::string ContainerText(const Certificate& certificate) {
  return certificate.KeyProv() ? Escaped(certificate.KeyProv()->container_name) : std::string();
}

// The fields cert show prints.
std::string CertificateText(const Certificate& certificate) {
  std::string text;
  text += "thumbprint: " + CCryptoAPI20Utils::GetSha1(certificate) + "\n";
  text += "subject: " + NameText(certificate.Subject()) + "\n";
  text += "issuer: " + NameText(certificate.Issuer()) + "\n";
  text += "subject CN: " + Escaped(CCryptoAPI20Utils::GetSubjectCN(certificate)) + "\n";
  text += "issuer CN: " + Escaped(CCryptoAPI20Utils::GetIssuerCN(certificate)) + "\n";
  text += "serial number: " + rtl::BytesToHexPlain(certificate.SerialNumber()) + "\n";
  // Unreadable times read as 0 (see Certificate::Defect).
  text += "valid from: " +
          (certificate.NotBefore() == 0 ? "(unreadable)" : UtcText(certificate.NotBefore())) + "\n";
  text += "valid to: " +
          (certificate.NotAfter() == 0 ? "(unreadable)" : UtcText(certificate.NotAfter())) + "\n";
  text += "public key algorithm: " + certificate.PublicKeyAlgorithmOid() + "\n";
  text += "signature algorithm: " + certificate.SignatureAlgorithmOid() + "\n";
  text += "basic constraints: " + BasicConstraintsText(certificate) + "\n";
  text += std::string("self-issued: ") +
          (CCryptoAPI20Utils::IsSelfIssued(certificate) ? "yes" : "no") + "\n";
  text += "CRL distribution points: " +
          FieldText([&] { return CCryptoAPI20Utils::GetCRLDistributionURLs(certificate); }) + "\n";
  text +=
      "CA issuers: " + FieldText([&] { return CCryptoAPI20Utils::GetCAIssuersURL(certificate); }) +
      "\n";
  return text;
}

// One line of cert list.
std::string ListLine(const std::string& thumbprint, const Certificate& certificate) {
  std::string text = thumbprint + "  " + Escaped(CCryptoAPI20Utils::GetSubjectCN(certificate)) +
                     " (issued by " + Escaped(CCryptoAPI20Utils::GetIssuerCN(certificate)) +
                     ", valid to " + UtcText(certificate.NotAfter()).substr(0, 10);
  if (!ContainerText(certificate).empty()) {
    text += ", container " + ContainerText(certificate);
  }
  return text + ")\n";
}

std::string CrlListLine(const crypt::Crl& crl) {
  std::string text = crl.Thumbprint() + "  CRL of " + Escaped(crl.IssuerCN().value_or("na")) +
                     Format(" (%d revoked, ", static_cast<int32_t>(crl.Revoked().size()));
  text += crl.NextUpdate() == 0 ? std::string("no next update")
                                : "next update " + UtcText(crl.NextUpdate()).substr(0, 10);
  return text + ")\n";
}

void PrintSkipped(const std::vector<crypt::SkippedFile>& skipped) {
  for (const crypt::SkippedFile& file : skipped) {
    PrintError("tdx880: skipped " + Escaped(file.name) + ": " + file.reason + "\n");
  }
}

// cert list --json: a line per certificate, then per CRL.
std::string StoreJson(const std::vector<Certificate>& certificates,
                      const std::vector<crypt::Crl>& crls, crypt::StoreCode store,
                      crypt::StoreLocation location) {
  const std::string name = CCryptoAPI20Utils::StoreName(store);
  std::string text;
  for (const Certificate& certificate : certificates) {
    text +=
        CertificateJson(certificate, name, location == crypt::StoreLocation::kLocalMachine, false);
  }
  for (const crypt::Crl& crl : crls) {
    text += CrlJson(crl, name, location == crypt::StoreLocation::kLocalMachine);
  }
  return text;
}

// Reports a store name the tool does not know; exit status 2.
int UnknownStore(const std::string& name) {
  std::fprintf(stderr, "tdx880: unknown store '%s' (MY, ROOT, CA or addressbook)\n", name.c_str());
  return kUsageError;
}

// cert list [--store S] [--machine]
int RunList(const Arguments& arguments) {
  const std::optional<Options> options =
      ParseOptions(arguments, {"--store"}, {"--machine", "--json"});
  if (!options || !options->positional.empty()) {
    return UsageError(kListUsage);
  }
  const std::optional<crypt::StoreCode> store = StoreCodeOf(options->Value("--store", "MY"));
  if (!store) {
    return UnknownStore(options->Value("--store"));
  }
  const crypt::StoreLocation location = LocationOf(*options);
  const crypt::CertStore opened = CCryptoAPI20Utils::OpenSystemStore(location, *store);
  std::vector<crypt::SkippedFile> skipped;
  const std::vector<Certificate> certificates = opened.Certificates(&skipped);
  if (options->Has("--json")) {
    Print(StoreJson(certificates, opened.Crls(&skipped), *store, location));
    PrintSkipped(skipped);
    return 0;
  }
  std::string text = CCryptoAPI20Utils::StoreName(*store) + ", " + LocationText(location) + ": " +
                     Format("%d certificate(s)\n", static_cast<int32_t>(certificates.size()));
  for (const Certificate& certificate : certificates) {
    text += ListLine(CCryptoAPI20Utils::GetSha1(certificate), certificate);
  }
  const std::vector<crypt::Crl> crls = opened.Crls(&skipped);
  if (!crls.empty()) {
    text += Format("%d CRL(s)\n", static_cast<int32_t>(crls.size()));
    for (const crypt::Crl& crl : crls) {
      text += CrlListLine(crl);
    }
  }
  Print(text);
  PrintSkipped(skipped);
  return 0;
}

// The stores cert show searches for a thumbprint, in this order.
constexpr crypt::StoreCode kSearchOrder[] = {crypt::StoreCode::kMy, crypt::StoreCode::kAddressBook,
                                             crypt::StoreCode::kCa, crypt::StoreCode::kRoot};

// cert show FILE|THUMBPRINT [--machine]
int RunShow(const Arguments& arguments) {
  const std::optional<Options> options = ParseOptions(arguments, {}, {"--machine", "--json"});
  if (!options || options->positional.size() != 1) {
    return UsageError(kShowUsage);
  }
  const bool json = options->Has("--json");
  const std::string argument = FromTerminal(options->positional[0]);
  const std::optional<std::string> thumbprint = NormalThumbprint(argument);
  const crypt::StoreLocation location = LocationOf(*options);
  if (thumbprint && !rtl::FileExists(argument)) {
    for (const crypt::StoreCode store : kSearchOrder) {
      const std::optional<Certificate> found =
          CCryptoAPI20Utils::FindCertificateBySha1(location, *thumbprint, store);
      if (found && json) {
        Print(CertificateJson(*found, CCryptoAPI20Utils::StoreName(store),
                              location == crypt::StoreLocation::kLocalMachine, true));
        return 0;
      }
      if (found) {
        std::string text = CertificateText(*found);
        text +=
            "store: " + CCryptoAPI20Utils::StoreName(store) + ", " + LocationText(location) + "\n";
        if (!ContainerText(*found).empty()) {
          text += "container: " + ContainerText(*found) + "\n";
        }
        Print(text);
        return 0;
      }
    }
    PrintError("tdx880: no certificate with thumbprint " + *thumbprint + " in the stores of the " +
               LocationText(location) + "\n");
    return 1;
  }
  const Certificate certificate =
      CCryptoAPI20Utils::CertificateFromBody(rtl::LoadFileToString(argument));
  Print(json ? CertificateJson(certificate, std::nullopt,
                               location == crypt::StoreLocation::kLocalMachine, true)
             : CertificateText(certificate));
  return 0;
}

constexpr std::string_view kImportUsage =
    "cert import FILE [--store S] [--container NAME] [--machine]";
constexpr std::string_view kImportChainUsage = "cert import-chain FILE [--machine]";

// A CRL read from a body the certificate reader refused: PEM ("-----BEGIN X509 CRL-----") or DER.
std::optional<crypt::Crl> CrlOfBody(const std::string& body) {
  try {
    return body.find("-----BEGIN X509 CRL-----") != std::string::npos
               ? crypt::Crl::FromPem(body)
               : CCryptoAPI20Utils::CRLFromBody(body);
  } catch (const rtl::Exception&) {
    return std::nullopt;
  }
}

// Adds a CRL to "CA"; one the store already holds as new or newer is kept.
int ImportCrl(const crypt::Crl& crl, const Options& options, crypt::StoreLocation location) {
  if (options.Has("--container") ||
      (options.Has("--store") && StoreCodeOf(options.Value("--store")) != crypt::StoreCode::kCa)) {
    PrintError("tdx880: a CRL goes to the CA store and is bound to no container\n");
    return 1;
  }
  const std::string where = "CA, " + LocationText(location);
  try {
    CCryptoAPI20Utils::ImportCRL(location, crl);
  } catch (const crypt::ECryptError& error) {
    if (error.ErrorCode() != crypt::code::kCryptEExists) {
      throw;
    }
    Print("kept the CRL of " + Escaped(crl.IssuerCN().value_or("na")) + " that " + where +
          " already holds (the same or a newer one)\n");
    return 0;
  }
  Print("imported CRL " + crl.Thumbprint() + " of " + Escaped(crl.IssuerCN().value_or("na")) +
        " into " + where + "\n");
  return 0;
}

// cert import FILE [--store S] [--container NAME] [--machine]
int RunImport(const Arguments& arguments) {
  const std::optional<Options> options =
      ParseOptions(arguments, {"--store", "--container"}, {"--machine"});
  if (!options || options->positional.size() != 1) {
    return UsageError(kImportUsage);
  }
  const std::string container = FromTerminal(options->Value("--container"));
  const std::optional<crypt::StoreCode> store =
      StoreCodeOf(options->Value("--store", options->Has("--container") ? "MY" : "addressbook"));
  if (!store) {
    return UnknownStore(options->Value("--store"));
  }
  if (options->Has("--container") && (*store != crypt::StoreCode::kMy || container.empty())) {
    std::fputs("tdx880: --container NAME binds a certificate of the MY store to a key container\n",
               stderr);
    return kUsageError;
  }
  const crypt::StoreLocation location = LocationOf(*options);
  const std::string body = rtl::LoadFileToString(FromTerminal(options->positional[0]));
  std::optional<Certificate> certificate;
  try {
    certificate = CCryptoAPI20Utils::CertificateFromBody(body);
  } catch (const rtl::Exception&) {
    if (const std::optional<crypt::Crl> crl = CrlOfBody(body)) {
      return ImportCrl(*crl, *options, location);
    }
    throw;
  }
  // Binding a container reads the provider's name and type from a provider context.
  crypt::CCryptoProvider provider;
  provider.SetMachineKeySet(location == crypt::StoreLocation::kLocalMachine);
  provider.AcquireVerifyContext(crypt::kGostProviderType, false);
  CCryptoAPI20Utils::AddCertificateToStore(provider.Handle(), location, container, *certificate,
                                           *store);
  std::string text = "imported " + CCryptoAPI20Utils::GetSha1(*certificate) + " (" +
                     Escaped(CCryptoAPI20Utils::GetSubjectCN(*certificate)) + ") into " +
                     CCryptoAPI20Utils::StoreName(*store) + ", " + LocationText(location);
  if (!container.empty()) {
    text += ", bound to container " + Escaped(container);
  }
  Print(text + "\n");
  return 0;
}

// The stores a chain import sorts certificates into.
constexpr crypt::StoreCode kChainStores[] = {crypt::StoreCode::kCa, crypt::StoreCode::kRoot,
                                             crypt::StoreCode::kAddressBook};

// Thumbprints of the certificates of the chain stores, per store.
std::map<crypt::StoreCode, std::set<std::string>> ChainStoreContents(
    crypt::StoreLocation location) {
  std::map<crypt::StoreCode, std::set<std::string>> contents;
  for (const crypt::StoreCode store : kChainStores) {
    contents[store];
    crypt::CertificateList list;
    CCryptoAPI20Utils::EnumerateStore(location, list, store);
    for (const auto& entry : list) {
      contents[store].insert(entry.first);
    }
  }
  return contents;
}

// cert import-chain FILE [--machine]: reports what the import added, store by store.
int RunImportChain(const Arguments& arguments) {
  const std::optional<Options> options = ParseOptions(arguments, {}, {"--machine"});
  if (!options || options->positional.size() != 1) {
    return UsageError(kImportChainUsage);
  }
  const crypt::StoreLocation location = LocationOf(*options);
  const std::string body = rtl::LoadFileToString(FromTerminal(options->positional[0]));
  const auto before = ChainStoreContents(location);
  CCryptoAPI20Utils::ImportChain(nullptr, location, body, "");
  std::string text;
  for (const crypt::StoreCode store : kChainStores) {
    crypt::CertificateList list;
    CCryptoAPI20Utils::EnumerateStore(location, list, store);
    for (const auto& [thumbprint, certificate] : list) {
      if (!before.at(store).contains(thumbprint)) {
        text += thumbprint + "  " + Escaped(CCryptoAPI20Utils::GetSubjectCN(certificate)) + " -> " +
                CCryptoAPI20Utils::StoreName(store) + "\n";
      }
    }
  }
  Print(text.empty() ? "nothing new: the stores of the " + LocationText(location) +
                           " already hold every certificate\n"
                     : text);
  return 0;
}

}  // namespace

std::vector<Command> CertCommands() {
  return {
      {"cert list", "[--store S] [--machine] [--json]",
       "list the certificates (and CRLs) of a store: MY (default), ROOT, CA or addressbook, of "
       "the current user or with --machine of the local machine; one line each: thumbprint, "
       "subject CN, issuer CN, end of validity, key container (--json: a JSON line each)",
       &Guarded<&RunList>},
      {"cert show", "FILE|THUMBPRINT [--machine] [--json]",
       "show a certificate's fields: from a file (DER, PEM or Base64) or found by its SHA-1 "
       "thumbprint (any case, ':' allowed) in MY, addressbook, CA and ROOT (--json: as a JSON "
       "line)",
       &Guarded<&RunShow>},
      {"cert import", "FILE [--store S] [--container NAME] [--machine]",
       "put a certificate (DER, PEM or Base64) into a store: addressbook by default, MY with "
       "--container, which also binds it to that key container; a CRL goes to CA (an older one "
       "than the store holds is not taken)",
       &Guarded<&RunImport>},
      {"cert import-chain", "FILE [--machine]",
       "import a PKCS#7 chain (DER or Base64) or one certificate: CA certificates (critical basic "
       "constraints) to CA, self-issued ones to ROOT, the others to addressbook; lists what was "
       "added",
       &Guarded<&RunImportChain>},
  };
}

}  // namespace lyr::tool
