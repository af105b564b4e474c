// ZeroRunZip: one raw Deflate stream of 1 MiB of zeros, ended by a full flush so that it is byte
// aligned and needs no earlier data, repeated (RFC 1951 blocks simply follow each other) and closed
// by an empty final block; the CRC is combined rather than computed over the zeros. The headers
// are written by hand (APPNOTE 4.3.7, 4.3.12, 4.3.16).
#include "zip_bomb.h"

#include <zlib.h>

#include <initializer_list>
#include <stdexcept>
#include <utility>

namespace lyr::package::test {
namespace {

constexpr uint64_t kChunk = uint64_t{1} << 20;

// Little-endian fields of (value, size in bytes).
void Put(std::string& out, std::initializer_list<std::pair<uint32_t, int>> fields) {
  for (const auto& [value, size] : fields) {
    for (int i = 0; i < size; ++i) {
      out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
  }
}

std::string DeflatedZeroChunk() {
  const std::string zeros(kChunk, '\0');
  std::string out(kChunk, '\0');
  z_stream stream{};
  if (::deflateInit2(&stream, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
  stream.avail_in = static_cast<uInt>(zeros.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int status = ::deflate(&stream, Z_FULL_FLUSH);
  out.resize(out.size() - stream.avail_out);
  ::deflateEnd(&stream);
  if (status != Z_OK || stream.avail_in != 0) {
    throw std::runtime_error("deflate");
  }
  return out;
}

}  // namespace

std::string ZeroRunZip(uint64_t size, uint64_t declared_size) {
  static const std::string chunk = DeflatedZeroChunk();
  const std::string zeros(kChunk, '\0');
  const uLong chunk_crc =
      ::crc32(0, reinterpret_cast<const Bytef*>(zeros.data()), static_cast<uInt>(kChunk));
  std::string data;
  uLong crc = 0;
  for (uint64_t done = 0; done < size; done += kChunk) {
    data += chunk;
    crc = ::crc32_combine(crc, chunk_crc, static_cast<z_off_t>(kChunk));
  }
  data += std::string("\x03\x00", 2);  // final fixed-Huffman block holding only its end code
  // Version 2.0, no flags, deflated, time 0, date 1980-01-01, CRC, sizes, name length, no extra.
  const auto header = [&](std::string& out) {
    Put(out, {{20, 2}, {0, 2}, {8, 2}, {0, 2}, {0x21, 2}, {static_cast<uint32_t>(crc), 4}});
    Put(out, {{static_cast<uint32_t>(data.size()), 4},
              {static_cast<uint32_t>(declared_size == 0 ? size : declared_size), 4},
              {4, 2},
              {0, 2}});
  };
  std::string zip;
  Put(zip, {{0x04034b50, 4}});
  header(zip);
  zip += "file" + data;
  const auto central_offset = static_cast<uint32_t>(zip.size());
  Put(zip, {{0x02014b50, 4}, {20, 2}});
  header(zip);
  // Comment, disk, internal and external attributes, local header offset.
  Put(zip, {{0, 2}, {0, 2}, {0, 2}, {0, 4}, {0, 4}});
  zip += "file";
  const auto central_size = static_cast<uint32_t>(zip.size() - central_offset);
  Put(zip, {{0x06054b50, 4},
            {0, 2},
            {0, 2},
            {1, 2},
            {1, 2},
            {central_size, 4},
            {central_offset, 4},
            {0, 2}});
  return zip;
}

}  // namespace lyr::package::test
