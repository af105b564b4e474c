// Content that streams out of an envelope: the receiver of decrypted bytes, and the digests of
// a plain content computed on a second thread while the content is still being produced, so a
// signature check later needs no second pass over it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lyr::crypt {

// A digest of a content by the digest algorithm with that OpenSSL NID.
struct ContentDigest {
  int nid = 0;
  std::string value;
};
using ContentDigests = std::vector<ContentDigest>;

// The GOST digest algorithms (GOST R 34.11-94, GOST R 34.11-2012 256 and 512, as NIDs, each once)
// the signers of a SignedData name; empty for bytes that are no SignedData or name none of them.
std::vector<int> SignatureDigestNids(std::string_view signature);

// Receives an envelope's decrypted content while it is decrypted: Begin once with the size of
// the encrypted content (the plain size of a GOST 28147-89 CFB envelope), then Write with the
// decrypted bytes in order. What they raise ends the decryption and comes out of it unchanged.
class DecryptedSink {
 public:
  virtual ~DecryptedSink() = default;
  virtual void Begin(size_t content_size) = 0;
  virtual void Write(std::string_view bytes) = 0;
};

// Digests a buffer that is filled from its start while the digests are computed: the buffer
// stays where it is (Start names its first byte) and Publish says how much of it is final. The
// hashing runs on a thread of its own; when none can be had, Publish hashes on the caller's
// thread, one step after the other. Not for use by more than one producing thread.
class ContentDigester final {
 public:
  // The algorithms of nids that are GOST digests (others are left out). Raises what the crypto
  // layer raises when the GOST engine cannot be loaded.
  explicit ContentDigester(const std::vector<int>& nids);
  ~ContentDigester();
  ContentDigester(const ContentDigester&) = delete;
  ContentDigester& operator=(const ContentDigester&) = delete;

  // Whether there is anything to compute.
  [[nodiscard]] bool Empty() const noexcept;
  // Starts hashing the buffer that begins at base; it must stay in place until Finish or
  // Abandon returns.
  void Start(const char* base);
  // The first end bytes of the buffer are final (end never decreases).
  void Publish(size_t end);
  // Waits for every published byte to be hashed and returns the digests; empty when a digest
  // step failed or nothing was started.
  [[nodiscard]] ContentDigests Finish();
  // Stops hashing and waits for the thread; the buffer may then change or go.
  void Abandon() noexcept;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace lyr::crypt
