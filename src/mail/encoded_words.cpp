// RFC 2047 encoded words, written here rather than by GMime because GMime names windows-1251
// "CP1251" in the words it writes and the receivers of packages expect "windows-1251".
#include "mail/encoded_words.h"

#include <algorithm>

#include "rtl/base64.h"

namespace lyr::mail {
namespace {

constexpr std::string_view kWordStart = "=?windows-1251?B?";
constexpr std::string_view kWordEnd = "?=";
// RFC 2047 section 2: an encoded word is at most 75 characters, a line holding one at most 76.
constexpr size_t kMaxWord = 75;
constexpr size_t kMaxLine = 76;

bool IsPlainAscii(std::string_view value) {
  const bool printable = std::all_of(value.begin(), value.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F;
  });
  return printable && value.find("=?") == std::string_view::npos;
}

// The number of text bytes whose Base64 form fits into an encoded word of at most room
// characters (whole groups of three bytes, at least one).
size_t BytesForWord(size_t room) {
  const size_t overhead = kWordStart.size() + kWordEnd.size();
  const size_t groups = room > overhead ? (room - overhead) / 4 : 0;
  return std::max<size_t>(groups, 1) * 3;
}

}  // namespace

std::string EncodeHeaderValue(std::string_view name, std::string_view value) {
  if (IsPlainAscii(value)) {
    return " " + std::string(value) + "\n";
  }
  std::string result;
  // The first line holds "name: "; every further line begins with the folding blank.
  size_t room = std::min(kMaxWord, kMaxLine - std::min(kMaxLine - 20, name.size() + 2));
  for (size_t at = 0; at < value.size();) {
    const size_t count = std::min(BytesForWord(room), value.size() - at);
    result += at == 0 ? " " : "\n ";
    result += kWordStart;
    result += rtl::EncodeBase64(value.substr(at, count));
    result += kWordEnd;
    at += count;
    room = std::min(kMaxWord, kMaxLine - 1);
  }
  return result + "\n";
}

}  // namespace lyr::mail
