// Opening an item's envelope as a stream: the decrypted bytes are inflated as they come and the
// plain content they make is hashed on a second thread for the item's signatures, so decryption,
// inflation and the verifier's hash overlap instead of following one another.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "crypt/platform/content_stream.h"
#include "rtl/decompression_budget.h"

namespace lyr::package {

struct StreamedPlain {
  std::shared_ptr<const std::string> plain;
  // The compressed form the envelope held (null for an envelope of the plain content).
  std::shared_ptr<const std::string> packed;
  // The digests of plain, empty when they could not be computed on the way.
  crypt::ContentDigests digests;
};

// What CTdx880CryptoTool::Decrypt and then (for a compressed item) COsAbbreviaTool::UnpackDocument
// with budget give, with the same errors in the same order, plus the digests that digester
// computes of the plain content meanwhile. A packed document is inflated on the way only when its
// local header gives honest sizes that fit the budget's room and kMaxEntrySize (a bomb costs no
// memory); it is then checked against the archive's central record before it is taken, and
// whatever does not match is unpacked again as UnpackDocument unpacks it.
StreamedPlain DecryptStreamed(bool user_storage, std::string_view enveloped, bool compressed,
                              crypt::ContentDigester& digester, rtl::DecompressionBudget& budget);

// What DecryptStreamed makes of a packed document whose bytes come in pieces of at most piece
// bytes (piece > 0), as decryption hands them over: the same plain content and errors as
// UnpackDocument(packed, budget), plus the digests.
StreamedPlain UnpackStreamed(std::string_view packed, size_t piece,
                             crypt::ContentDigester& digester, rtl::DecompressionBudget& budget);

}  // namespace lyr::package
