// The addresses of a received message's header, read by GMime.
#include "mail/message_addresses.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <memory>

#include "mail/mail_runtime.h"
#include "rtl/free_with.h"

namespace lyr::mail {
namespace {

template <typename T>
using GPtr = std::unique_ptr<T, rtl::FreeWith<&::g_object_unref>>;

// The header block of message, with the empty line that ends it.
std::string_view HeaderBlock(std::string_view message) {
  size_t end = message.size();
  for (const std::string_view blank : {"\r\n\r\n", "\n\n"}) {
    const size_t at = message.find(blank);
    if (at != std::string_view::npos) {
      end = std::min(end, at + blank.size());
    }
  }
  return message.substr(0, std::min(end, kMaxHeaderSize));
}

bool IsPlainAddress(std::string_view address) {
  return !address.empty() && std::all_of(address.begin(), address.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte > 0x20 && byte < 0x7F;
  });
}

// The first mailbox of a list, searching groups too; "" without one.
std::string FirstMailbox(InternetAddressList* list) {
  const int count = list == nullptr ? 0 : ::internet_address_list_length(list);
  for (int i = 0; i < count; ++i) {
    InternetAddress* address = ::internet_address_list_get_address(list, i);
    if (INTERNET_ADDRESS_IS_MAILBOX(address)) {
      const char* text = ::internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address));
      return text != nullptr && IsPlainAddress(text) ? std::string(text) : std::string();
    }
    if (INTERNET_ADDRESS_IS_GROUP(address)) {
      if (std::string found =
              FirstMailbox(::internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address)));
          !found.empty()) {
        return found;
      }
    }
  }
  return {};
}

}  // namespace

MessageAddresses ReadMessageAddresses(std::string_view message) {
  const MailRuntime runtime;
  const std::string_view header = HeaderBlock(message);
  const GPtr<GMimeStream> stream(::g_mime_stream_mem_new_with_buffer(header.data(), header.size()));
  const GPtr<GMimeParser> parser(::g_mime_parser_new_with_stream(stream.get()));
  const GPtr<GMimeMessage> parsed(::g_mime_parser_construct_message(parser.get(), nullptr));
  MessageAddresses addresses;
  if (parsed) {
    addresses.reply_to = FirstMailbox(::g_mime_message_get_reply_to(parsed.get()));
    if (addresses.reply_to.empty()) {
      addresses.reply_to = FirstMailbox(::g_mime_message_get_from(parsed.get()));
    }
    addresses.recipient = FirstMailbox(::g_mime_message_get_to(parsed.get()));
  }
  return addresses;
}

}  // namespace lyr::mail
