// tdx880 sign / verify-signature: detached GOST CMS signatures of files with a certificate of the
// user's "MY" store, and their check with the signer's certificate chain and revocation lists.
#include <cctype>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "crypt/crypto_api20_chain_builder_strict.h"
#include "crypt/crypto_api20_exception.h"
#include "crypt/crypto_api20_utils.h"
#include "crypt/crypto_provider.h"
#include "crypt/crypto_signature.h"
#include "crypt/crypto_signature_config.h"
#include "rtl/atomic_file.h"
#include "rtl/whole_file.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

constexpr uint8_t kCurrentUser = 2;

// "CN [THUMBPRINT]" of a certificate.
std::string Describe(const crypt::Certificate& certificate) {
  return crypt::CCryptoAPI20Utils::GetSubjectCN(certificate) + " [" +
         crypt::CCryptoAPI20Utils::GetSha1(certificate) + "]";
}

std::string UpperCase(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return text;
}

struct SignOptions {
  std::string file;
  std::string thumbprint;
  std::string output;
};

std::optional<SignOptions> ParseSign(const Arguments& arguments) {
  SignOptions options;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if ((argument == "--key" || argument == "-o") && i + 1 < arguments.size()) {
      (argument == "--key" ? options.thumbprint : options.output) = FromTerminal(arguments[++i]);
    } else if (!argument.empty() && argument[0] != '-' && options.file.empty()) {
      options.file = FromTerminal(argument);
    } else {
      return std::nullopt;
    }
  }
  if (options.file.empty() || options.thumbprint.empty()) {
    return std::nullopt;
  }
  if (options.output.empty()) {
    options.output = options.file + ".sig";
  }
  return options;
}

// sign FILE --key THUMBPRINT [-o SIG]: writes the detached signature (DER) of FILE, made with the
// certificate of the user's "MY" store with that thumbprint and its key container.
int RunSign(const Arguments& arguments) {
  const std::optional<SignOptions> options = ParseSign(arguments);
  if (!options) {
    std::fputs("usage: tdx880 sign FILE --key THUMBPRINT [-o SIG]\n", stderr);
    return kUsageError;
  }
  const std::string content = rtl::ReadFileToString(options->file);
  crypt::CCryptoProvider provider;
  provider.AcquireVerifyContext(crypt::kGostProviderType, false);
  crypt::CCryptoSignatureConfig config(&provider, kCurrentUser, 0,
                                       crypt::kIncludeSignerCertificate);
  crypt::CCryptoSignature signature;
  signature.Open(&config);
  signature.Sign(UpperCase(options->thumbprint), content);
  rtl::WriteFileAtomically(options->output, signature.GetSignature(), 0644);
  Print("Signed " + options->file + " -> " + options->output + "\n");
  return 0;
}

struct VerifyOptions {
  std::string file;
  std::string signature;
  bool download = true;
  bool revocation = true;
};

std::optional<VerifyOptions> ParseVerify(const Arguments& arguments) {
  VerifyOptions options;
  std::vector<std::string> files;
  for (const std::string& argument : arguments) {
    if (argument == "--no-download") {
      options.download = false;
    } else if (argument == "--no-crl") {
      options.revocation = false;
    } else if (!argument.empty() && argument[0] != '-') {
      files.push_back(FromTerminal(argument));
    } else {
      return std::nullopt;
    }
  }
  if (files.size() != 2) {
    return std::nullopt;
  }
  options.file = files[0];
  options.signature = files[1];
  return options;
}

// The verification flags: the chain always, downloads of CA certificates (and with revocation
// lists, of those) unless --no-download, the revocation check unless --no-crl.
uint8_t VerificationFlags(const VerifyOptions& options) {
  uint8_t flags = crypt::verify_flags::kCheckChain;
  if (options.download) {
    flags |= crypt::verify_flags::kDownloadCa;
  }
  if (options.revocation) {
    flags |= crypt::verify_flags::kRevocationCheck;
    if (options.download) {
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
  const std::optional<VerifyOptions> options = ParseVerify(arguments);
  if (!options) {
    std::fputs("usage: tdx880 verify-signature FILE SIG [--no-download] [--no-crl]\n", stderr);
    return kUsageError;
  }
  const std::string content = rtl::ReadFileToString(options->file);
  const std::string signature_bytes = rtl::ReadFileToString(options->signature);
  crypt::CCryptoProvider provider;
  provider.AcquireVerifyContext(crypt::kGostProviderType, false);
  crypt::CCryptoSignatureConfig config(&provider, kCurrentUser, VerificationFlags(*options),
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
    Print("Verdict: INVALID (code " + std::to_string(error.Code()) + "): " + error.Message() +
          "\n");
    return 1;
  } catch (const rtl::Exception& error) {
    PrintChain(chain);
    Print("Verdict: INVALID: " + error.Message() + "\n");
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
