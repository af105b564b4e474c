// UTF-8 <-> UTF-16 conversion over base's UTF-8 codec; UTF-16 surrogate pairs handled here.
#include "utf.h"

#include "base/utf8.h"

namespace lyr::com {
namespace {

void AppendUtf16(std::u16string* out, char32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out->push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out->push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  } else {
    out->push_back(static_cast<char16_t>(c));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    // A broken sequence costs its lead byte only: what follows is decoded on its own.
    AppendUtf16(&out, base::DecodeUtf8(text, i, base::Malformed::kLeadByte));
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = base::kReplacementCharacter;
    }
    base::AppendUtf8(out, c);
  }
  return out;
}

}  // namespace lyr::com
