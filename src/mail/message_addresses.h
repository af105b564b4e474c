// Who a received message came from and whom it was sent to, for answering it.
#pragma once

#include <string>
#include <string_view>

namespace lyr::mail {

// Bare addresses ("user@example.ru") of a message's header; "" where the header names none.
struct MessageAddresses {
  std::string reply_to;   // the first mailbox of Reply-To, else of From
  std::string recipient;  // the first mailbox of To
};

// Reads the addresses from the header of the message text (everything before the first empty
// line, at most kMaxHeaderSize bytes of it; a longer header is read that far). Folded lines,
// comments, display names, groups and encoded words are understood as RFC 5322 and 2047 write
// them. An address with a control character, a blank or a byte outside ASCII is no address ("").
// Never fails: a header that cannot be read names no one.
MessageAddresses ReadMessageAddresses(std::string_view message);

inline constexpr size_t kMaxHeaderSize = 256 * 1024;

}  // namespace lyr::mail
