// tdx880 sign / verify-signature: detached GOST CMS signatures of files with a certificate of the
// user's "MY" store, and their check with the signer's certificate chain and revocation lists.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "base/ascii.h"
#include "command.h"
#include "crypt/crypto_api20_chain_builder_strict.h"
#include "crypt/crypto_api20_exception.h"
#include "crypt/crypto_api20_utils.h"
#include "crypt/crypto_provider.h"
#include "crypt/crypto_signature.h"
#include "crypt/crypto_signature_config.h"
#include "options.h"
#include "rtl/atomic_file.h"
#include "rtl/whole_file.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

// "CN [THUMBPRINT]" of a certificate.
std::string Describe(const crypt::Certificate& certificate) {
  return Escaped(crypt::CCryptoAPI20Utils::GetSubjectCN(certificate)) + " [" +
         crypt::CCryptoAPI20Utils::GetSha1(certificate) + "]";
}

// sign FILE --key THUMBPRINT [-o SIG]: writes the detached signature (DER) of FILE, made with the
// certificate of the user's "MY" store with that thumbprint and its key container.
int RunSign(const Arguments& arguments) {
  const std::optional<Options> options = ParseOptions(arguments, {"--key", "-o"});
  if (!options || options->positional.size() != 1 || !options->Has("--key")) {
    return UsageError("sign FILE --key THUMBPRINT [-o SIG]");
  }
  const std::string file = FromTerminal(options->positional[0]);
  const std::string thumbprint = FromTerminal(options->Value("--key"));
  const std::string output =
      options->Has("-o") ? FromTerminal(options->Value("-o")) : file + ".sig";
  const std::string content = rtl::ReadFileToString(file);
  crypt::CCryptoProvider provider;
  provider.AcquireVerifyContext(crypt::kGostProviderType, false);
  crypt::CCryptoSignatureConfig config(&provider, crypt::StoreLocation::kCurrentUser, 0,
                                       crypt::kIncludeSignerCertificate);
  crypt::CCryptoSignature signature;
  signature.Open(&config);
  signature.Sign(base::UpperAsciiText(thumbprint), content);
  rtl::WriteFileAtomically(output, signature.GetSignature(), 0644);
  Print("Signed " + file + " -> " + output + "\n");
  return 0;
}

// The verification flags: the chain always, downloads of CA certificates (and with revocation
// lists, of those) unless --no-download, the revocation check unless --no-crl.
uint8_t VerificationFlags(const Options& options) {
  const bool download = !options.Has("--no-download");
  uint8_t flags = crypt::verify_flags::kCheckChain;
  if (download) {
    flags |= crypt::verify_flags::kDownloadCa;
  }
  if (!options.Has("--no-crl")) {
    flags |= crypt::verify_flags::kRevocationCheck;
    if (download) {
      flags |= crypt::verify_flags::kDownloadCrl;
    }
  }
  return flags;
}

void PrintChain(const std::vector<crypt::Certificate>& chain) {
  if (chain.empty()) {
    return;
  }
  Print("Chain:\n");
  for (const crypt::Certificate& certificate : chain) {
    Print("  " + Describe(certificate) + "\n");
  }
}

// verify-signature FILE SIG [--no-download] [--no-crl]: checks the signature, then the signer's
// chain up to a root of the user's "ROOT" or "CA" store, at the current date. Exit status 0 only
// for a valid signature.
int RunVerifySignature(const Arguments& arguments) {
  const std::optional<Options> options = ParseOptions(arguments, {}, {"--no-download", "--no-crl"});
  if (!options || options->positional.size() != 2) {
    return UsageError("verify-signature FILE SIG [--no-download] [--no-crl]");
  }
  const std::string content = rtl::ReadFileToString(FromTerminal(options->positional[0]));
  const std::string signature_bytes = rtl::ReadFileToString(FromTerminal(options->positional[1]));
  crypt::CCryptoProvider provider;
  provider.AcquireVerifyContext(crypt::kGostProviderType, false);
  crypt::CCryptoSignatureConfig config(&provider, crypt::StoreLocation::kCurrentUser,
                                       VerificationFlags(*options),
                                       crypt::kIncludeSignerCertificate);
  std::vector<crypt::Certificate> chain;
  config.SetChainBuilderFactory([&chain] {
    return crypt::NewStrictSignerChainBuilder(
        [&chain](const crypt::Certificate& certificate) { chain.push_back(certificate); });
  });
  try {
    if (const std::optional<crypt::Certificate> signer =
            crypt::CCryptoAPI20Utils::CertificateFromSignature(signature_bytes)) {
      Print("Signer: " + Describe(*signer) + "\n");
    }
  } catch (const rtl::Exception&) {
    // Not a signature: the check below says so.
  }
  crypt::CCryptoSignature signature;
  signature.Open(&config);
  try {
    signature.Verify(content, signature_bytes, 0);
  } catch (const crypt::CCryptoAPI20Exception& error) {
    PrintChain(chain);
    Print("Verdict: INVALID (code " + std::to_string(error.Code()) +
          "): " + EscapedMessage(error.Message()) + "\n");
    return 1;
  } catch (const rtl::Exception& error) {
    PrintChain(chain);
    Print("Verdict: INVALID: " + EscapedMessage(error.Message()) + "\n");
    return 1;
  }
  PrintChain(chain);
  Print("Verdict: valid\n");
  return 0;
}

}  // namespace

std::vector<Command> SignatureCommands() {
  return {{"sign", "FILE --key THUMBPRINT [-o SIG]",
           "sign FILE (detached GOST CMS, DER) with the certificate of the user's MY store and its "
           "key container; writes SIG (default FILE.sig)",
           &RunSign},
          {"verify-signature", "FILE SIG [--no-download] [--no-crl]",
           "check the detached signature SIG of FILE and the signer's certificate chain and "
           "revocation lists; exit status 0 only for a valid signature",
           &RunVerifySignature}};
}

}  // namespace lyr::tool
