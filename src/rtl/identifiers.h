// New identifiers: random GUIDs and their text forms.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace lyr::rtl {

// A 128-bit identifier with the layout of the platform GUID: {uint32, uint16, uint16, uint8[8]}.
struct Guid {
  uint32_t Data1 = 0;
  uint16_t Data2 = 0;
  uint16_t Data3 = 0;
  std::array<uint8_t, 8> Data4{};

  friend bool operator==(const Guid&, const Guid&) = default;
};
static_assert(sizeof(Guid) == 16);

// A new random identifier (version 4, RFC 4122 variant) from the operating system's random
// source. Fails with "Guid не создан" when the random source cannot be read.
Guid NewGuid();

// Registry form of guid: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", 38 characters, upper case.
std::string GuidToString(const Guid& guid);

// NewGuid in registry form: 38 characters, braces, upper-case hexadecimal, hyphens.
std::string NewGuidString();
// The same without the braces: 36 characters.
std::string NewGuidText();
// The same in lower case without hyphens: 32 hexadecimal characters (content and signature file
// names, working folders, document codes).
std::string NewFileId();

}  // namespace lyr::rtl
