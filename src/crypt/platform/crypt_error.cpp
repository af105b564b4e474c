// The table of crypto error codes and the thread-local last crypto error.
#include "crypt/platform/crypt_error.h"

#include <array>

#include "crypt/platform/ossl.h"
#include "rtl/format.h"

namespace lyr::crypt {
namespace {

constexpr std::array kTable{
    CryptErrorInfo{code::kSuccess, "ERROR_SUCCESS", "The operation completed successfully."},
    CryptErrorInfo{code::kErrorNoMoreItems, "ERROR_NO_MORE_ITEMS", "No more data is available."},
    CryptErrorInfo{code::kEFail, "E_FAIL", "Unspecified error"},
    CryptErrorInfo{code::kEAccessDenied, "E_ACCESSDENIED", "Access is denied."},
    CryptErrorInfo{code::kEOutOfMemory, "E_OUTOFMEMORY",
                   "Not enough memory resources are available to complete this operation."},
    CryptErrorInfo{code::kEInvalidArg, "E_INVALIDARG", "The parameter is incorrect."},
    CryptErrorInfo{code::kErrorFileNotFound, "ERROR_FILE_NOT_FOUND",
                   "The system cannot find the file specified."},
    CryptErrorInfo{code::kErrorPathNotFound, "ERROR_PATH_NOT_FOUND",
                   "The system cannot find the path specified."},
    CryptErrorInfo{code::kErrorDiskFull, "ERROR_DISK_FULL",
                   "There is not enough space on the disk."},
    CryptErrorInfo{code::kNteBadUid, "NTE_BAD_UID", "Bad UID."},
    CryptErrorInfo{code::kNteBadKey, "NTE_BAD_KEY", "Bad Key."},
    CryptErrorInfo{code::kNteBadData, "NTE_BAD_DATA", "Bad Data."},
    CryptErrorInfo{code::kNteBadSignature, "NTE_BAD_SIGNATURE", "Invalid Signature."},
    CryptErrorInfo{code::kNteBadAlgId, "NTE_BAD_ALGID", "Invalid algorithm specified."},
    CryptErrorInfo{code::kNteNoKey, "NTE_NO_KEY", "Key does not exist."},
    CryptErrorInfo{code::kNteExists, "NTE_EXISTS", "Object already exists."},
    CryptErrorInfo{code::kNteBadPublicKey, "NTE_BAD_PUBLIC_KEY", "Bad Public Key."},
    CryptErrorInfo{code::kNteBadKeyset, "NTE_BAD_KEYSET", "Keyset does not exist"},
    CryptErrorInfo{code::kNteProvTypeNotDef, "NTE_PROV_TYPE_NOT_DEF", "Provider type not defined."},
    CryptErrorInfo{code::kNteKeysetNotDef, "NTE_KEYSET_NOT_DEF", "The keyset is not defined."},
    CryptErrorInfo{code::kNteProviderDllFail, "NTE_PROVIDER_DLL_FAIL",
                   "Provider DLL failed to initialize correctly."},
    CryptErrorInfo{code::kNteBadKeysetParam, "NTE_BAD_KEYSET_PARAM",
                   "The Keyset parameter is invalid."},
    CryptErrorInfo{code::kNteFail, "NTE_FAIL", "An internal error occurred."},
    CryptErrorInfo{code::kCryptEMsgError, "CRYPT_E_MSG_ERROR",
                   "An error occurred while performing an operation on a cryptographic message."},
    CryptErrorInfo{code::kCryptEUnknownAlgo, "CRYPT_E_UNKNOWN_ALGO",
                   "Unknown cryptographic algorithm."},
    CryptErrorInfo{code::kCryptEInvalidMsgType, "CRYPT_E_INVALID_MSG_TYPE",
                   "Invalid cryptographic message type."},
    CryptErrorInfo{code::kCryptERecipientNotFound, "CRYPT_E_RECIPIENT_NOT_FOUND",
                   "The enveloped-data message does not contain the specified recipient."},
    CryptErrorInfo{code::kCryptEBadEncode, "CRYPT_E_BAD_ENCODE",
                   "An error occurred during encode or decode operation."},
    CryptErrorInfo{code::kCryptEFileError, "CRYPT_E_FILE_ERROR",
                   "An error occurred while reading or writing to a file."},
    CryptErrorInfo{code::kCryptENotFound, "CRYPT_E_NOT_FOUND", "Cannot find object or property."},
    CryptErrorInfo{code::kCryptEExists, "CRYPT_E_EXISTS", "The object or property already exists."},
    CryptErrorInfo{code::kCryptESelfSigned, "CRYPT_E_SELF_SIGNED",
                   "The specified certificate is self signed."},
    CryptErrorInfo{code::kCryptENoKeyProperty, "CRYPT_E_NO_KEY_PROPERTY",
                   "The certificate does not have a property that references a private key."},
    CryptErrorInfo{code::kCryptENoDecryptCert, "CRYPT_E_NO_DECRYPT_CERT",
                   "Cannot find the certificate and private key to use for decryption."},
    CryptErrorInfo{code::kCryptEBadMsg, "CRYPT_E_BAD_MSG",
                   "Not a cryptographic message or the cryptographic message is not formatted "
                   "correctly."},
    CryptErrorInfo{code::kCryptEAsn1Error, "CRYPT_E_ASN1_ERROR",
                   "ASN1 internal encode or decode error."},
    CryptErrorInfo{code::kCryptEAsn1BadTag, "CRYPT_E_ASN1_BADTAG", "ASN1 bad tag value met."},
    CryptErrorInfo{code::kTrustECertSignature, "TRUST_E_CERT_SIGNATURE",
                   "The signature of the certificate cannot be verified."},
    CryptErrorInfo{code::kScardWWrongChv, "SCARD_W_WRONG_CHV",
                   "The card cannot be accessed because the wrong PIN was presented."},
};

struct LastError {
  uint32_t code = 0;
  std::string detail;
};

thread_local LastError t_last_error;

// The code's text with the detail appended.
std::string PlainText(uint32_t error_code, std::string_view detail) {
  const CryptErrorInfo* info = FindCryptError(error_code);
  std::string text = info != nullptr ? std::string(info->text) : std::string("Unknown error");
  if (!detail.empty()) {
    text += ' ';
    text += detail;
  }
  return text;
}

std::string CodeText(uint32_t error_code, std::string_view detail) {
  return rtl::Format("0x%.8x (%d): %s", static_cast<int64_t>(error_code),
                     static_cast<int32_t>(error_code), PlainText(error_code, detail));
}

}  // namespace

std::span<const CryptErrorInfo> CryptErrorTable() noexcept {
  return kTable;
}

const CryptErrorInfo* FindCryptError(uint32_t error_code) noexcept {
  for (const CryptErrorInfo& info : kTable) {
    if (info.code == error_code) {
      return &info;
    }
  }
  return nullptr;
}

uint32_t GetLastCryptError() noexcept {
  return t_last_error.code;
}

void SetLastCryptError(uint32_t error_code, std::string detail) {
  t_last_error.code = error_code;
  t_last_error.detail = std::move(detail);
}

std::string LastCryptErrorText() {
  return CodeText(t_last_error.code, t_last_error.detail);
}

std::string CryptErrorCodeText(uint32_t error_code) {
  return CodeText(error_code, {});
}

void RaiseCryptError(uint32_t error_code, std::string detail) {
  SetLastCryptError(error_code, std::move(detail));
  rtl::RaiseError(ECryptError(LastCryptErrorText(), error_code));
}

void RaiseCryptErrorWithOpenSsl(uint32_t error_code, std::string_view context) {
  std::string detail(context);
  const std::string openssl = ossl::TakeOpenSslError();
  if (!openssl.empty()) {
    if (!detail.empty()) {
      detail += ": ";
    }
    detail += "(" + openssl + ")";
  }
  RaiseCryptError(error_code, std::move(detail));
}

void RaiseLastCryptOSError() {
  const auto error_code = static_cast<int32_t>(t_last_error.code);
  if (error_code == 0) {
    rtl::RaiseError(rtl::EOSError(rtl::OSErrorMessage(0), 0));
  }
  rtl::RaiseError(rtl::EOSError(rtl::Format("System Error.  Code: %d.\r\n%s", error_code,
                                            PlainText(t_last_error.code, t_last_error.detail)),
                                error_code));
}

}  // namespace lyr::crypt
