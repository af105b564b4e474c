// Fuzz entry: bytes as an envelope, inspected and opened with the keys of the recipients the seeds
// were made for (envelope_recipient.pem: GOST R 34.10-2001, envelope_recipient_2012.pem: GOST R
// 34.10-2012 256-bit; by make_envelope_seeds), so that inputs near a real envelope reach the key
// transport, key agreement and content decryption.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "certificate_walk.h"
#include "crypt/platform/envelope.h"
#include "crypt/platform/private_key.h"

namespace {

// A certificate and its key from one PEM file.
struct Recipient {
  explicit Recipient(const char* file)
      : pem([file] {
          std::ifstream in(file, std::ios::binary);
          return std::string((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
        }()),
        certificate(lyr::crypt::Certificate::FromPem(pem)),
        key(lyr::crypt::PrivateKey::FromPem(pem, std::nullopt)) {}
  std::string pem;
  lyr::crypt::Certificate certificate;
  lyr::crypt::PrivateKey key;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Recipient recipient2001(LYR_FUZZ_RECIPIENT);
  static const Recipient recipient2012(LYR_FUZZ_RECIPIENT_2012);
  const std::string envelope(reinterpret_cast<const char*>(data), size);
  lyr::fuzz::Try(
      [&] { (void)lyr::crypt::InspectEnvelope(envelope); },
      [&] {
        (void)lyr::crypt::DecryptEnvelope(envelope, recipient2001.certificate, recipient2001.key);
      },
      [&] {
        (void)lyr::crypt::DecryptEnvelope(envelope, recipient2012.certificate, recipient2012.key);
      });
  return 0;
}
