// tdx880 cert list|show|import|import-chain: the certificates of the stores, one certificate's
// fields, and putting certificates, CRLs and chains into the stores.
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "crypt/cert_store.h"
#include "crypt/crypto_api20_utils.h"
#include "crypt_options.h"
#include "options.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/format.h"
#include "rtl/whole_file.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

using crypt::CCryptoAPI20Utils;
using crypt::Certificate;
using rtl::Format;

constexpr std::string_view kListUsage = "cert list [--store S] [--machine]";
constexpr std::string_view kShowUsage = "cert show FILE|THUMBPRINT [--machine]";

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
    text += AttributeName(attribute.oid) + "=" + attribute.value;
  }
  return text.empty() ? "(empty)" : text;
}

std::string HexOf(const std::string& bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string hex;
  for (const char c : bytes) {
    hex += kHex[static_cast<unsigned char>(c) >> 4];
    hex += kHex[static_cast<unsigned char>(c) & 0x0F];
  }
  return hex;
}

// A field the library reads from the certificate, or the library's message when it cannot.
template <typename Read>
std::string FieldText(Read&& read) {
  try {
    const std::string value = read();
    return value.empty() ? "(none)" : value;
  } catch (const rtl::Exception& error) {
    return error.Message();
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
    return error.Message();
  }
}

std::string ContainerText(const Certificate& certificate) {
  return certificate.KeyProv() ? certificate.KeyProv()->container_name : std::string();
}

// The fields cert show prints.
std::string CertificateText(const Certificate& certificate) {
  std::string text;
  text += "thumbprint: " + CCryptoAPI20Utils::GetSha1(certificate) + "\n";
  text += "subject: " + NameText(certificate.Subject()) + "\n";
  text += "issuer: " + NameText(certificate.Issuer()) + "\n";
  text += "subject CN: " + CCryptoAPI20Utils::GetSubjectCN(certificate) + "\n";
  text += "issuer CN: " + CCryptoAPI20Utils::GetIssuerCN(certificate) + "\n";
  text += "serial number: " + HexOf(certificate.SerialNumber()) + "\n";
  text += "valid from: " + UtcText(certificate.NotBefore()) + "\n";
  text += "valid to: " + UtcText(certificate.NotAfter()) + "\n";
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
  std::string text = thumbprint + "  " + CCryptoAPI20Utils::GetSubjectCN(certificate) +
                     " (issued by " + CCryptoAPI20Utils::GetIssuerCN(certificate) + ", valid to " +
                     UtcText(certificate.NotAfter()).substr(0, 10);
  if (!ContainerText(certificate).empty()) {
    text += ", container " + ContainerText(certificate);
  }
  return text + ")\n";
}

std::string CrlListLine(const crypt::Crl& crl) {
  std::string text = crl.Thumbprint() + "  CRL of " + crl.IssuerCN().value_or("na") +
                     Format(" (%d revoked, ", static_cast<int32_t>(crl.Revoked().size()));
  text += crl.NextUpdate() == 0 ? std::string("no next update")
                                : "next update " + UtcText(crl.NextUpdate()).substr(0, 10);
  return text + ")\n";
}

// cert list [--store S] [--machine]
int RunList(const Arguments& arguments) {
  const std::optional<Options> options = ParseOptions(arguments, {"--store"}, {"--machine"});
  if (!options || !options->positional.empty()) {
    return UsageError(kListUsage);
  }
  const std::optional<uint8_t> store = StoreCode(options->Value("--store", "MY"));
  if (!store) {
    std::fprintf(stderr, "tdx880: unknown store '%s' (MY, ROOT, CA or addressbook)\n",
                 options->Value("--store").c_str());
    return kUsageError;
  }
  const uint8_t location = LocationCode(*options);
  crypt::CertificateList list;
  CCryptoAPI20Utils::EnumerateStore(nullptr, location, list, *store);
  std::string text = CCryptoAPI20Utils::StoreName(*store) + ", " + LocationText(location) + ": " +
                     Format("%d certificate(s)\n", static_cast<int32_t>(list.size()));
  for (const auto& [thumbprint, certificate] : list) {
    text += ListLine(thumbprint, certificate);
  }
  const std::vector<crypt::Crl> crls =
      CCryptoAPI20Utils::OpenSystemStore(nullptr, location, *store).Crls();
  if (!crls.empty()) {
    text += Format("%d CRL(s)\n", static_cast<int32_t>(crls.size()));
    for (const crypt::Crl& crl : crls) {
      text += CrlListLine(crl);
    }
  }
  Print(text);
  return 0;
}

// The stores cert show searches for a thumbprint, in this order.
constexpr uint8_t kSearchOrder[] = {1, 4, 3, 2};

// cert show FILE|THUMBPRINT [--machine]
int RunShow(const Arguments& arguments) {
  const std::optional<Options> options = ParseOptions(arguments, {}, {"--machine"});
  if (!options || options->positional.size() != 1) {
    return UsageError(kShowUsage);
  }
  const std::string argument = FromTerminal(options->positional[0]);
  const std::optional<std::string> thumbprint = NormalThumbprint(argument);
  const uint8_t location = LocationCode(*options);
  if (thumbprint && !rtl::FileExists(argument)) {
    for (const uint8_t store : kSearchOrder) {
      const std::optional<Certificate> found =
          CCryptoAPI20Utils::FindCertificateBySha1(nullptr, location, *thumbprint, store);
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
  Print(CertificateText(certificate));
  return 0;
}

}  // namespace

std::vector<Command> CertCommands() {
  return {
      {"cert list", "[--store S] [--machine]",
       "list the certificates (and CRLs) of a store: MY (default), ROOT, CA or addressbook, of "
       "the current user or with --machine of the local machine; one line each: thumbprint, "
       "subject CN, issuer CN, end of validity, key container",
       &Guarded<&RunList>},
      {"cert show", "FILE|THUMBPRINT [--machine]",
       "show a certificate's fields: from a file (DER, PEM or Base64) or found by its SHA-1 "
       "thumbprint (any case, ':' allowed) in MY, addressbook, CA and ROOT",
       &Guarded<&RunShow>},
  };
}

}  // namespace lyr::tool
