// The crypto layer's errors: CryptoAPI-compatible codes with their names and texts, the calling
// thread's last crypto error, and the error raised by the layer.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "rtl/errors.h"

namespace lyr::crypt {

// The codes the layer reports, with the values CryptoAPI gives them.
namespace code {
inline constexpr uint32_t kSuccess = 0;
inline constexpr uint32_t kErrorNoMoreItems = 259;
inline constexpr uint32_t kEFail = 0x80004005;
inline constexpr uint32_t kEAccessDenied = 0x80070005;
inline constexpr uint32_t kEOutOfMemory = 0x8007000E;
inline constexpr uint32_t kEInvalidArg = 0x80070057;
inline constexpr uint32_t kErrorFileNotFound = 0x80070002;
inline constexpr uint32_t kErrorPathNotFound = 0x80070003;
inline constexpr uint32_t kErrorDiskFull = 0x80070070;
inline constexpr uint32_t kNteBadUid = 0x80090001;
inline constexpr uint32_t kNteBadKey = 0x80090003;
inline constexpr uint32_t kNteBadData = 0x80090005;
inline constexpr uint32_t kNteBadSignature = 0x80090006;
inline constexpr uint32_t kNteBadAlgId = 0x80090008;
inline constexpr uint32_t kNteNoKey = 0x8009000D;
inline constexpr uint32_t kNteExists = 0x8009000F;
inline constexpr uint32_t kNteBadPublicKey = 0x80090015;
inline constexpr uint32_t kNteBadKeyset = 0x80090016;
inline constexpr uint32_t kNteProvTypeNotDef = 0x80090017;
inline constexpr uint32_t kNteKeysetNotDef = 0x80090019;
inline constexpr uint32_t kNteProviderDllFail = 0x8009001D;
inline constexpr uint32_t kNteBadKeysetParam = 0x8009001F;
inline constexpr uint32_t kNteFail = 0x80090020;
inline constexpr uint32_t kCryptEMsgError = 0x80091001;
inline constexpr uint32_t kCryptEUnknownAlgo = 0x80091002;
inline constexpr uint32_t kCryptEInvalidMsgType = 0x80091004;
inline constexpr uint32_t kCryptERecipientNotFound = 0x8009100B;
inline constexpr uint32_t kCryptEBadEncode = 0x80092002;
inline constexpr uint32_t kCryptEFileError = 0x80092003;
inline constexpr uint32_t kCryptENotFound = 0x80092004;
inline constexpr uint32_t kCryptEExists = 0x80092005;
inline constexpr uint32_t kCryptESelfSigned = 0x80092007;
inline constexpr uint32_t kCryptENoKeyProperty = 0x8009200B;
inline constexpr uint32_t kCryptENoDecryptCert = 0x8009200C;
inline constexpr uint32_t kCryptEBadMsg = 0x8009200D;
inline constexpr uint32_t kCryptEAsn1Error = 0x80093100;
inline constexpr uint32_t kCryptEAsn1BadTag = 0x8009310B;
inline constexpr uint32_t kTrustECertSignature = 0x80096004;
inline constexpr uint32_t kScardWWrongChv = 0x8010006B;
}  // namespace code

// One row of the table of codes.
struct CryptErrorInfo {
  uint32_t code;
  std::string_view name;  // the CryptoAPI constant name, e.g. "CRYPT_E_NOT_FOUND"
  std::string_view text;  // the message text, English
};

// Every code the layer reports, each once.
std::span<const CryptErrorInfo> CryptErrorTable() noexcept;
// The row of code, or nullptr for a code the table does not hold.
const CryptErrorInfo* FindCryptError(uint32_t code) noexcept;

// The calling thread's last crypto error: the code and a detail text (OpenSSL's own explanation,
// a file name...), which the last-error text appends to the code's text.
uint32_t GetLastCryptError() noexcept;
void SetLastCryptError(uint32_t code, std::string detail = {});
// "0x" + 8 upper-case hex digits + " (" + signed decimal + "): " + text [+ " " + detail], for the
// thread's last error.
std::string LastCryptErrorText();
// The same for any code (no detail).
std::string CryptErrorCodeText(uint32_t code);

// A failure inside the crypto layer. Its message is the last-error text at the time it was
// raised; the thread's last error holds the same code.
class ECryptError : public rtl::Exception {
 public:
  ECryptError(std::string message, uint32_t error_code)
      : Exception(std::move(message)), error_code_(error_code) {}
  [[nodiscard]] uint32_t ErrorCode() const noexcept { return error_code_; }

 private:
  uint32_t error_code_;
};

// Sets the thread's last error to code with detail and raises ECryptError with its text.
[[noreturn]] void RaiseCryptError(uint32_t code, std::string detail = {});
// As RaiseCryptError, with OpenSSL's queued error (if any) as the detail.
[[noreturn]] void RaiseCryptErrorWithOpenSsl(uint32_t code, std::string_view context = {});

// The OS error of the thread's last crypto error, as a failed CryptoAPI call reaches the raise
// routine: rtl::EOSError with the code (as a signed number) and the message
// "System Error.  Code: %d." CR LF + the code's text [+ " " + detail]; code 0 gives
// "A call to an OS function failed".
[[noreturn]] void RaiseLastCryptOSError();

}  // namespace lyr::crypt
