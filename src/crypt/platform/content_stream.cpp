// Digests computed beside the decryption: a hashing thread that follows a growing buffer.
#include "crypt/platform/content_stream.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "crypt/platform/crypto_runtime.h"
#include "crypt/platform/gost_engine.h"
#include "crypt/platform/ossl.h"

namespace lyr::crypt {
namespace {

// The hashing thread is woken when this much is waiting (or at the end), and hashes at most
// this much between two looks at the producer.
constexpr size_t kWakeBatch = size_t{256} << 10;
constexpr size_t kHashPiece = size_t{1} << 20;

bool IsGostDigest(int nid) {
  return nid == NID_id_GostR3411_94 || nid == NID_id_GostR3411_2012_256 ||
         nid == NID_id_GostR3411_2012_512;
}

}  // namespace

std::vector<int> SignatureDigestNids(std::string_view signature) {
  std::vector<int> nids;
  const auto* in = reinterpret_cast<const unsigned char*>(signature.data());
  const ossl::CmsPtr cms(
      ::d2i_CMS_ContentInfo(nullptr, &in, static_cast<long>(signature.size())));  // NOLINT
  if (!cms || ::OBJ_obj2nid(::CMS_get0_type(cms.get())) != NID_pkcs7_signed) {
    ::ERR_clear_error();
    return nids;
  }
  STACK_OF(CMS_SignerInfo)* signers = ::CMS_get0_SignerInfos(cms.get());
  for (int i = 0; signers != nullptr && i < sk_CMS_SignerInfo_num(signers); ++i) {
    X509_ALGOR* digest = nullptr;
    ::CMS_SignerInfo_get0_algs(sk_CMS_SignerInfo_value(signers, i), nullptr, nullptr, &digest,
                               nullptr);
    const int nid = digest != nullptr ? ::OBJ_obj2nid(digest->algorithm) : NID_undef;
    if (IsGostDigest(nid) && std::find(nids.begin(), nids.end(), nid) == nids.end()) {
      nids.push_back(nid);
    }
  }
  return nids;
}

struct ContentDigester::State {
  CryptoRuntime runtime;
  std::vector<std::pair<int, ossl::EvpMdCtxPtr>> contexts;
  const char* base = nullptr;
  bool failed = false;  // a digest step failed: no digests
  size_t hashed = 0;    // owned by the hashing thread (or the producer without one)
  size_t notified = 0;  // owned by the producer: where it last woke the thread

  std::mutex mutex;
  std::condition_variable wake;
  size_t published = 0;
  bool finishing = false;
  bool abandoned = false;
  std::optional<std::thread> thread;

  // Hashes [hashed, end) of the buffer; false when told to stop meanwhile.
  bool HashUpTo(size_t end) {
    while (hashed < end) {
      const size_t piece = std::min(end - hashed, kHashPiece);
      for (auto& [nid, context] : contexts) {
        if (!failed && ::EVP_DigestUpdate(context.get(), base + hashed, piece) != 1) {
          failed = true;
        }
      }
      hashed += piece;
      if (thread) {
        const std::lock_guard lock(mutex);
        if (abandoned) {
          return false;
        }
      }
    }
    return true;
  }

  // Raises flag (finishing or abandoned) for the hashing thread and waits for it to end.
  void StopThread(bool State::*flag) {
    {
      const std::lock_guard lock(mutex);
      this->*flag = true;
    }
    wake.notify_one();
    thread->join();
    thread.reset();
  }

  void Run() {
    while (true) {
      size_t end = 0;
      {
        std::unique_lock lock(mutex);
        wake.wait(lock, [&] { return abandoned || finishing || published - hashed >= kWakeBatch; });
        if (abandoned || (finishing && published == hashed)) {
          return;
        }
        end = published;
      }
      if (!HashUpTo(end)) {
        return;
      }
    }
  }
};

ContentDigester::ContentDigester(const std::vector<int>& nids) : state_(std::make_unique<State>()) {
  for (const int nid : nids) {
    if (!IsGostDigest(nid)) {
      continue;
    }
    const EVP_MD* md = ::ENGINE_get_digest(engine::Gost(), nid);
    ossl::EvpMdCtxPtr context(::EVP_MD_CTX_new());
    if (md == nullptr || !context || ::EVP_DigestInit_ex(context.get(), md, nullptr) != 1) {
      ::ERR_clear_error();
      continue;
    }
    state_->contexts.emplace_back(nid, std::move(context));
  }
}

ContentDigester::~ContentDigester() {
  Abandon();
}

bool ContentDigester::Empty() const noexcept {
  return state_->contexts.empty();
}

void ContentDigester::Start(const char* base) {
  State& state = *state_;
  state.base = base;
  if (state.contexts.empty()) {
    return;
  }
  try {
    state.thread.emplace([&state] { state.Run(); });
  } catch (const std::system_error&) {
    state.thread.reset();  // no thread to be had: Publish hashes
  }
}

void ContentDigester::Publish(size_t end) {
  State& state = *state_;
  if (state.base == nullptr || state.contexts.empty()) {
    return;
  }
  if (!state.thread) {
    state.HashUpTo(end);
    return;
  }
  {
    const std::lock_guard lock(state.mutex);
    state.published = end;
  }
  if (end - state.notified >= kWakeBatch) {
    state.notified = end;
    state.wake.notify_one();
  }
}

ContentDigests ContentDigester::Finish() {
  State& state = *state_;
  if (state.base == nullptr || state.contexts.empty() || state.abandoned) {
    return {};
  }
  if (state.thread) {
    state.StopThread(&State::finishing);
    if (state.abandoned || state.hashed != state.published) {
      return {};
    }
  }
  ContentDigests digests;
  for (auto& [nid, context] : state.contexts) {
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (state.failed || ::EVP_DigestFinal_ex(context.get(), value, &length) != 1) {
      ::ERR_clear_error();
      return {};
    }
    digests.push_back({nid, std::string(reinterpret_cast<const char*>(value), length)});
  }
  state.contexts.clear();
  return digests;
}

void ContentDigester::Abandon() noexcept {
  State& state = *state_;
  if (state.thread) {
    state.StopThread(&State::abandoned);
  }
  state.abandoned = true;
  state.contexts.clear();
}

}  // namespace lyr::crypt
