// Fuzz entry: bytes as an envelope, inspected and opened with the key of the recipient the seeds
// were made for (envelope_recipient.pem, by make_envelope_seeds), so that inputs near a real
// envelope reach the GOST engine's key transport and decryption.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "certificate_walk.h"
#include "crypt/platform/envelope.h"
#include "crypt/platform/private_key.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string pem = [] {
    std::ifstream in(LYR_FUZZ_RECIPIENT, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }();
  static const lyr::crypt::Certificate certificate = lyr::crypt::Certificate::FromPem(pem);
  static const lyr::crypt::PrivateKey key = lyr::crypt::PrivateKey::FromPem(pem, std::nullopt);
  const std::string envelope(reinterpret_cast<const char*>(data), size);
  lyr::fuzz::Try([&] { (void)lyr::crypt::InspectEnvelope(envelope); },
                 [&] { (void)lyr::crypt::DecryptEnvelope(envelope, certificate, key); });
  return 0;
}
