// Fuzz entry: arbitrary bytes as an envelope, opened with the private key of the recipient the
// seeds were made for (fuzz/envelope_recipient.pem, made with the seeds by make_crypt_seeds), so
// that inputs near a real envelope reach the GOST engine's key transport and decryption. The
// bytes are inspected and decrypted; every failure must be one of the library's errors, and
// nothing may crash, hang or leak.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "certificate_walk.h"
#include "crypt/platform/envelope.h"
#include "crypt/platform/private_key.h"

namespace {

struct Recipient {
  lyr::crypt::Certificate certificate;
  lyr::crypt::PrivateKey key;
};

const Recipient& TheRecipient() {
  static const Recipient recipient = [] {
    std::ifstream in(LYR_FUZZ_RECIPIENT, std::ios::binary);
    const std::string pem((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return Recipient{lyr::crypt::Certificate::FromPem(pem),
                     lyr::crypt::PrivateKey::FromPem(pem, std::nullopt)};
  }();
  return recipient;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using lyr::fuzz::Try;
  const Recipient& recipient = TheRecipient();
  const std::string envelope(reinterpret_cast<const char*>(data), size);
  Try([&] { (void)lyr::crypt::InspectEnvelope(envelope); });
  Try([&] { (void)lyr::crypt::DecryptEnvelope(envelope, recipient.certificate, recipient.key); });
  return 0;
}
