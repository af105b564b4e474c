// ZeroRunZip: one raw Deflate stream of 1 MiB of zeros, ended by a full flush so that it is byte
// aligned and needs no earlier data, repeated (RFC 1951 blocks simply follow each other) and closed
// by an empty final block; the CRC is combined rather than computed over the zeros. The headers
// are written by hand (APPNOTE 4.3.7, 4.3.12, 4.3.16).
#include "zip_bomb.h"

#include <zlib.h>

#include <stdexcept>

namespace lyr::package::test {
namespace {

constexpr uint64_t kChunk = uint64_t{1} << 20;

void Put16(std::string& out, uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
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
  if (declared_size == 0) {
    declared_size = size;
  }
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

  const std::string name = "file";
  const auto header = [&](std::string& out) {
    Put16(out, 20);    // version needed: 2.0, deflate
    Put16(out, 0);     // flags
    Put16(out, 8);     // deflated
    Put16(out, 0);     // time
    Put16(out, 0x21);  // date: 1980-01-01
    Put32(out, static_cast<uint32_t>(crc));
    Put32(out, static_cast<uint32_t>(data.size()));
    Put32(out, static_cast<uint32_t>(declared_size));
    Put16(out, static_cast<uint32_t>(name.size()));
    Put16(out, 0);  // extra field
  };
  std::string zip;
  Put32(zip, 0x04034b50);
  header(zip);
  zip += name;
  zip += data;
  const auto central_offset = static_cast<uint32_t>(zip.size());
  Put32(zip, 0x02014b50);
  Put16(zip, 20);  // made by
  header(zip);
  Put16(zip, 0);  // comment
  Put16(zip, 0);  // disk
  Put16(zip, 0);  // internal attributes
  Put32(zip, 0);  // external attributes
  Put32(zip, 0);  // local header offset
  zip += name;
  const auto central_size = static_cast<uint32_t>(zip.size() - central_offset);
  Put32(zip, 0x06054b50);
  Put16(zip, 0);
  Put16(zip, 0);
  Put16(zip, 1);
  Put16(zip, 1);
  Put32(zip, central_size);
  Put32(zip, central_offset);
  Put16(zip, 0);
  return zip;
}

}  // namespace lyr::package::test
