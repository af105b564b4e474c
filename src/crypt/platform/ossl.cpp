// Shared OpenSSL helpers of the crypto layer.
#include "crypt/platform/ossl.h"

#include <ctime>

namespace lyr::crypt::ossl {

BioPtr MemoryBio(std::string_view bytes) {
  return BioPtr(::BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
}

BioPtr NewMemoryBio() {
  return BioPtr(::BIO_new(::BIO_s_mem()));
}

std::string BioContents(BIO* bio) {
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio, &data);  // NOLINT(runtime/int): OpenSSL's type
  if (length <= 0 || data == nullptr) {
    return {};
  }
  return std::string(data, static_cast<size_t>(length));
}

std::string TakeOpenSslError() {
  const unsigned long first = ::ERR_peek_error();  // NOLINT(runtime/int): OpenSSL's type
  std::string text;
  if (first != 0) {
    char buffer[256];
    ::ERR_error_string_n(first, buffer, sizeof buffer);
    text = buffer;
  }
  ::ERR_clear_error();
  return text;
}

std::string OidText(const ASN1_OBJECT* object) {
  char buffer[128];
  const int length = ::OBJ_obj2txt(buffer, sizeof buffer, object, 1);
  if (length <= 0) {
    return {};
  }
  if (static_cast<size_t>(length) < sizeof buffer) {
    return std::string(buffer, static_cast<size_t>(length));
  }
  std::string text(static_cast<size_t>(length) + 1, '\0');
  ::OBJ_obj2txt(text.data(), static_cast<int>(text.size()), object, 1);
  text.resize(static_cast<size_t>(length));
  return text;
}

std::string IntegerContent(const ASN1_INTEGER* value) {
  // The DER of an INTEGER is 02, its length (short or long form) and the content octets.
  const std::string der = ToDer(
      value, [](const ASN1_INTEGER* v, unsigned char** out) { return ::i2d_ASN1_INTEGER(v, out); });
  if (der.size() < 2) {
    return {};
  }
  const auto first_length = static_cast<unsigned char>(der[1]);
  const size_t header = first_length < 0x80 ? 2 : 2 + (first_length & 0x7F);
  return header <= der.size() ? der.substr(header) : std::string();
}

int64_t TimeToUnix(const ASN1_TIME* time) {
  struct tm parts {};
  if (time == nullptr || ::ASN1_TIME_to_tm(time, &parts) != 1) {
    return 0;
  }
  return static_cast<int64_t>(::timegm(&parts));
}

}  // namespace lyr::crypt::ossl
