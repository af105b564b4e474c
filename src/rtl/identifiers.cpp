// Identifiers from the kernel's random bytes.
#include "rtl/identifiers.h"

#include <cstdio>

#include "base/ascii.h"
#include "base/random.h"
#include "rtl/errors.h"

namespace lyr::rtl {

Guid NewGuid() {
  std::array<uint8_t, 16> bytes{};
  if (!base::RandomBytes(bytes.data(), bytes.size())) {
    RaiseFmt(u8"Guid не создан");
  }
  Guid guid;
  guid.Data1 = static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
               static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
  guid.Data2 = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
  // RFC 4122 section 4.4: version 4 in the high nibble of Data3, variant 10xx in Data4[0].
  guid.Data3 = static_cast<uint16_t>(((bytes[6] & 0x0F) | 0x40) << 8 | bytes[7]);
  for (size_t i = 0; i < 8; ++i) {
    guid.Data4[i] = bytes[8 + i];
  }
  guid.Data4[0] = static_cast<uint8_t>((guid.Data4[0] & 0x3F) | 0x80);
  return guid;
}

std::string GuidToString(const Guid& guid) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1,
                guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return std::string(text, 38);
}

std::string NewGuidString() {
  return GuidToString(NewGuid());
}

std::string NewGuidText() {
  const std::string braced = NewGuidString();
  return braced.substr(1, 36);
}

std::string NewFileId() {
  const std::string text = NewGuidText();
  std::string id;
  id.reserve(32);
  for (const char c : text) {
    if (c != '-') {
      id += base::LowerAscii(c);
    }
  }
  return id;
}

}  // namespace lyr::rtl
