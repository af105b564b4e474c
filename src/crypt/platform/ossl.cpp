// Shared OpenSSL helpers of the crypto layer.
#include "crypt/platform/ossl.h"

#include <ctime>

#include "crypt/platform/crypt_error.h"

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

std::string FinalCmsDer(CMS_ContentInfo* cms, std::string_view content, unsigned flags) {
  const BioPtr in = MemoryBio(content);
  if (::CMS_final(cms, in.get(), nullptr, flags) != 1) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEMsgError);
  }
  std::string der = ToDer(cms, [](const CMS_ContentInfo* c, unsigned char** out) {
    return ::i2d_CMS_ContentInfo(c, out);
  });
  if (der.empty()) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode);
  }
  return der;
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

namespace {

// The value of count decimal digits at text[at], or -1 when one is not a digit.
int Digits(std::string_view text, size_t at, size_t count) {
  int value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') {
      return -1;
    }
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<int64_t> StrictTimeToUnix(const ASN1_TIME* time) {
  if (time == nullptr) {
    return std::nullopt;
  }
  const int type = ::ASN1_STRING_type(time);
  const size_t year_digits = type == V_ASN1_UTCTIME ? 2 : type == V_ASN1_GENERALIZEDTIME ? 4 : 0;
  const std::string_view text(reinterpret_cast<const char*>(::ASN1_STRING_get0_data(time)),
                              static_cast<size_t>(::ASN1_STRING_length(time)));
  if (year_digits == 0 || text.size() != year_digits + 11 || text.back() != 'Z') {
    return std::nullopt;
  }
  int year = Digits(text, 0, year_digits);
  if (year_digits == 2 && year >= 0) {
    year += year >= 50 ? 1900 : 2000;
  }
  struct tm parts {};
  parts.tm_mon = Digits(text, year_digits, 2) - 1;
  parts.tm_mday = Digits(text, year_digits + 2, 2);
  parts.tm_hour = Digits(text, year_digits + 4, 2);
  parts.tm_min = Digits(text, year_digits + 6, 2);
  parts.tm_sec = Digits(text, year_digits + 8, 2);
  if (year < 0 || parts.tm_mon < 0 || parts.tm_mon > 11 || parts.tm_mday < 1 ||
      parts.tm_mday > DaysInMonth(year, parts.tm_mon + 1) || parts.tm_hour < 0 ||
      parts.tm_hour > 23 || parts.tm_min < 0 || parts.tm_min > 59 || parts.tm_sec < 0 ||
      parts.tm_sec > 59) {
    return std::nullopt;
  }
  parts.tm_year = year - 1900;
  return static_cast<int64_t>(::timegm(&parts));
}

int64_t TimeToUnix(const ASN1_TIME* time) {
  return StrictTimeToUnix(time).value_or(0);
}

}  // namespace lyr::crypt::ossl
