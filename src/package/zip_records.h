// The little-endian fields and record signatures of the ZIP format, for the readers that look at
// an archive's records themselves instead of through libzip.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lyr::package::zip_records {

inline constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
inline constexpr uint32_t kCentralRecordSignature = 0x02014b50;
inline constexpr uint32_t kEndRecordSignature = 0x06054b50;

inline uint16_t Le16(std::string_view bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                               static_cast<unsigned char>(bytes[at + 1]) << 8);
}

inline uint32_t Le32(std::string_view bytes, size_t at) {
  return static_cast<uint32_t>(Le16(bytes, at)) | static_cast<uint32_t>(Le16(bytes, at + 2)) << 16;
}

}  // namespace lyr::package::zip_records
