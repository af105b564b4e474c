// tdx880 encrypt|decrypt: a GOST CMS envelope for one correspondent, and opening one addressed to
// a personal certificate, as the package items do with their documents.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "crypt/tdx880_crypto_tool.h"
#include "crypt_options.h"
#include "options.h"
#include "rtl/errors.h"
#include "rtl/whole_file.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

constexpr std::string_view kEncryptUsage =
    "encrypt FILE (--cert CERT | --for THUMBPRINT) -o OUT [--cipher NAME] [--machine]";
constexpr std::string_view kDecryptUsage = "decrypt FILE -o OUT [--machine]";

// encrypt FILE (--cert CERT | --for THUMBPRINT) -o OUT [--cipher NAME] [--machine]
int RunEncrypt(const Arguments& arguments) {
  const std::optional<Options> options =
      ParseOptions(arguments, {"--cert", "--for", "-o", "--cipher"}, {"--machine"});
  if (!options || options->positional.size() != 1 || !options->Has("-o") ||
      options->Has("--cert") == options->Has("--for")) {
    return UsageError(kEncryptUsage);
  }
  std::optional<std::string> thumbprint;
  if (options->Has("--for")) {
    thumbprint = NormalThumbprint(options->Value("--for"));
    if (!thumbprint) {
      std::fprintf(stderr, "tdx880: '%s' is not a SHA-1 thumbprint (40 hexadecimal digits)\n",
                   options->Value("--for").c_str());
      return kUsageError;
    }
  }
  const crypt::ContentCipher cipher = ContentCipherOf(options->Value("--cipher"));
  const std::string content = rtl::LoadFileToString(FromTerminal(options->positional[0]));
  const crypt::CTdx880CryptoTool tool;
  const std::string envelope =
      thumbprint
          ? tool.EncryptBySha1(LocationOf(*options) == crypt::StoreLocation::kCurrentUser, content,
                               *thumbprint, cipher)
          : tool.EncryptByCertificate(
                content, rtl::LoadFileToString(FromTerminal(options->Value("--cert"))), cipher);
  rtl::WriteStringToFile(FromTerminal(options->Value("-o")), envelope);
  return 0;
}

// decrypt FILE -o OUT [--machine]
int RunDecrypt(const Arguments& arguments) {
  const std::optional<Options> options = ParseOptions(arguments, {"-o"}, {"--machine"});
  if (!options || options->positional.size() != 1 || !options->Has("-o")) {
    return UsageError(kDecryptUsage);
  }
  const std::string envelope = rtl::LoadFileToString(FromTerminal(options->positional[0]));
  const std::string content = crypt::CTdx880CryptoTool().Decrypt(
      LocationOf(*options) == crypt::StoreLocation::kCurrentUser, envelope);
  rtl::WriteStringToFile(FromTerminal(options->Value("-o")), content);
  return 0;
}

}  // namespace

std::vector<Command> EnvelopeCommands() {
  return {
      {"encrypt", kEncryptUsage.substr(std::string_view("encrypt ").size()),
       "envelope FILE (CMS EnvelopedData) for one correspondent: the certificate in the file CERT "
       "(DER, PEM or Base64), or the one of the addressbook store with that thumbprint; the "
       "content cipher NAME is gost89 (GOST 28147-89, the default), magma-ctr-acpkm, "
       "magma-ctr-acpkm-omac, kuznyechik-ctr-acpkm or kuznyechik-ctr-acpkm-omac (GOST R "
       "34.10-2012 correspondents only); writes OUT (DER)",
       &Guarded<&RunEncrypt>},
      {"decrypt", "FILE -o OUT [--machine]",
       "open an envelope addressed to a certificate of MY with the key of its container (GOST "
       "28147-89 or Magma / Kuznyechik CTR-ACPKM(-OMAC) content; key transport or key agreement, "
       "the sender's certificate of a key agreement from addressbook or MY); writes the content "
       "to OUT (mode 0600)",
       &Guarded<&RunDecrypt>},
  };
}

}  // namespace lyr::tool
