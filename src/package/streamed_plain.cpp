// DecryptStreamed: the envelope's content goes through a sink that inflates it on the
// decrypting thread into a buffer of the plain content's final size, which a second thread
// hashes behind it.
#include "package/streamed_plain.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

#include "crypt/tdx880_crypto_tool.h"
#include "package/os_abbrevia_tool.h"
#include "package/zip_records.h"
#include "rtl/large_buffer.h"

namespace lyr::package {
namespace {

constexpr size_t kLocalHeader = 30;
constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflated = 8;
constexpr size_t kInflateChunk = size_t{256} << 10;

using zip_records::Le16;
using zip_records::Le32;

class StreamSink final : public crypt::DecryptedSink {
 public:
  StreamSink(bool compressed, crypt::ContentDigester& digester, rtl::DecompressionBudget& budget)
      : compressed_(compressed), digester_(digester), budget_(budget) {}

  ~StreamSink() override {
    digester_.Abandon();  // before the buffer it reads goes
    EndInflation();
  }

  StreamSink(const StreamSink&) = delete;
  StreamSink& operator=(const StreamSink&) = delete;

  void Begin(size_t content_size) override {
    if (compressed_) {
      rtl::ReserveLarge(packed_, content_size);
      return;
    }
    rtl::ReserveLarge(plain_, content_size);
    digester_.Start(plain_.data());
    state_ = State::kBody;
  }

  void Write(std::string_view bytes) override {
    if (!compressed_) {
      AppendPlain(bytes);
      return;
    }
    packed_.append(bytes);
    if (state_ == State::kHeader) {
      ReadHeader();
    }
    if (state_ == State::kBody) {
      Inflate();
    }
  }

  StreamedPlain Finish() {
    StreamedPlain result;
    if (compressed_) {
      auto packed = std::make_shared<const std::string>(std::move(packed_));
      const bool streamed = state_ == State::kDone && plain_.size() == entry_.size &&
                            crc_ == entry_.crc &&
                            COsAbbreviaTool::TakeLeadingEntry(*packed, budget_, entry_);
      if (streamed) {
        result.digests = digester_.Finish();
      } else {
        digester_.Abandon();
        plain_ = COsAbbreviaTool::UnpackDocument(*packed, budget_);
      }
      result.packed = std::move(packed);
    } else if (state_ == State::kBody) {
      result.digests = digester_.Finish();
    }
    // Its own allocation: a weak reference to it (the digests' owner) keeps no buffer alive.
    result.plain = std::shared_ptr<const std::string>(new std::string(std::move(plain_)));
    return result;
  }

 private:
  enum class State { kHeader, kBody, kDone, kAside };

  void AppendPlain(std::string_view bytes) {
    if (state_ == State::kBody && plain_.size() + bytes.size() > plain_.capacity()) {
      Aside(false);  // more than announced: the buffer would move under the hashing thread
    }
    plain_.append(bytes);
    if (state_ == State::kBody) {
      digester_.Publish(plain_.size());
    }
  }

  // Reads the local header once it is complete; an entry this reader does not follow to the
  // end on its own (a data descriptor, encryption, another method, sizes it cannot trust) is
  // left to UnpackDocument.
  void ReadHeader() {
    if (packed_.size() < kLocalHeader) {
      return;
    }
    const size_t data = kLocalHeader + Le16(packed_, 26) + Le16(packed_, 28);
    if (packed_.size() < data) {
      return;
    }
    const uint16_t flags = Le16(packed_, 6);
    entry_.method = Le16(packed_, 8);
    entry_.crc = Le32(packed_, 14);
    entry_.compressed_size = Le32(packed_, 18);
    entry_.size = Le32(packed_, 22);
    const bool followed =
        Le32(packed_, 0) == zip_records::kLocalHeaderSignature && (flags & 0x0009) == 0 &&
        (entry_.method == kDeflated ||
         (entry_.method == kStored && entry_.compressed_size == entry_.size)) &&
        entry_.compressed_size != UINT32_MAX && entry_.size != UINT32_MAX && entry_.size != 0 &&
        entry_.size <= COsAbbreviaTool::kMaxEntrySize && entry_.size <= budget_.Left();
    if (!followed) {
      Aside(true);
      return;
    }
    if (entry_.method == kDeflated) {
      if (::inflateInit2(&stream_, -MAX_WBITS) != Z_OK) {
        Aside(true);
        return;
      }
      inflating_ = true;
      scratch_.resize(kInflateChunk);
    }
    rtl::ReserveLarge(plain_, static_cast<size_t>(entry_.size));
    digester_.Start(plain_.data());
    data_ = data;
    read_ = data;
    state_ = State::kBody;
  }

  void Inflate() {
    const size_t end =
        static_cast<size_t>(std::min<uint64_t>(packed_.size(), data_ + entry_.compressed_size));
    if (entry_.method == kStored) {
      Produce(reinterpret_cast<const unsigned char*>(packed_.data()) + read_, end - read_);
      read_ = end;
      if (state_ == State::kBody && read_ == data_ + entry_.compressed_size) {
        state_ = State::kDone;
      }
      return;
    }
    while (state_ == State::kBody) {
      const size_t offered = std::min<size_t>(end - read_, UINT_MAX);
      if (offered == 0 && !output_full_) {
        return;  // wants more input
      }
      stream_.next_in = reinterpret_cast<Bytef*>(packed_.data() + read_);
      stream_.avail_in = static_cast<uInt>(offered);
      stream_.next_out = scratch_.data();
      stream_.avail_out = static_cast<uInt>(scratch_.size());
      const int status = ::inflate(&stream_, Z_NO_FLUSH);
      const size_t taken = offered - stream_.avail_in;
      const size_t made = scratch_.size() - stream_.avail_out;
      read_ += taken;
      output_full_ = stream_.avail_out == 0;
      if (status == Z_BUF_ERROR && taken == 0 && made == 0) {
        if (offered == 0) {
          output_full_ = false;
          return;
        }
        Aside(true);
        return;
      }
      if (status != Z_OK && status != Z_STREAM_END) {
        Aside(true);
        return;
      }
      Produce(scratch_.data(), made);
      if (status == Z_STREAM_END && state_ == State::kBody) {
        EndInflation();
        if (read_ == data_ + entry_.compressed_size) {
          state_ = State::kDone;
        } else {
          Aside(true);  // data after the end mark: UnpackDocument decides
        }
      }
    }
  }

  void Produce(const unsigned char* bytes, size_t size) {
    if (size == 0) {
      return;
    }
    if (plain_.size() + size > entry_.size) {
      Aside(true);  // more than declared: UnpackDocument reports it
      return;
    }
    plain_.append(reinterpret_cast<const char*>(bytes), size);
    crc_ = static_cast<uint32_t>(::crc32_z(crc_, bytes, size));
    digester_.Publish(plain_.size());
  }

  // Gives up following the stream: the hashing stops; with drop, the plain content made so far
  // goes too (UnpackDocument makes it again from the packed form).
  void Aside(bool drop) {
    digester_.Abandon();
    EndInflation();
    state_ = State::kAside;
    if (drop) {
      std::string().swap(plain_);
      std::vector<unsigned char>().swap(scratch_);
    }
  }

  void EndInflation() noexcept {
    if (inflating_) {
      ::inflateEnd(&stream_);
      inflating_ = false;
    }
  }

  const bool compressed_;
  crypt::ContentDigester& digester_;
  rtl::DecompressionBudget& budget_;
  State state_ = State::kHeader;
  std::string packed_;
  std::string plain_;
  COsAbbreviaTool::LeadingEntry entry_;
  uint32_t crc_ = 0;
  size_t data_ = 0;
  size_t read_ = 0;
  z_stream stream_{};
  bool inflating_ = false;
  bool output_full_ = false;
  std::vector<unsigned char> scratch_;
};

}  // namespace

StreamedPlain DecryptStreamed(bool user_storage, std::string_view enveloped, bool compressed,
                              crypt::ContentDigester& digester, rtl::DecompressionBudget& budget) {
  StreamSink sink(compressed, digester, budget);
  crypt::CTdx880CryptoTool().DecryptTo(user_storage, enveloped, sink);
  return sink.Finish();
}

StreamedPlain UnpackStreamed(std::string_view packed, size_t piece,
                             crypt::ContentDigester& digester, rtl::DecompressionBudget& budget) {
  StreamSink sink(true, digester, budget);
  sink.Begin(packed.size());
  for (size_t at = 0; at < packed.size(); at += piece) {
    sink.Write(packed.substr(at, piece));
  }
  return sink.Finish();
}

}  // namespace lyr::package
