// Package <-> Internet message over GMime (RFC 5322 messages, MIME of RFC 2045 to 2047).
#include "mail/package_mail.h"

#include <fcntl.h>
#include <gmime/gmime.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "base/io.h"
#include "base/unique_fd.h"
#include "mail/encoded_words.h"
#include "mail/gmime_streams.h"
#include "mail/mail_runtime.h"
#include "package/tdx880_doc.h"
#include "package/tdx880_document.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/folder_lock.h"
#include "rtl/format.h"
#include "rtl/free_with.h"
#include "rtl/identifiers.h"
#include "rtl/large_buffer.h"
#include "rtl/str_utils.h"
#include "rtl/text.h"
#include "rtl/whole_file.h"

namespace lyr::mail {
namespace {

using rtl::FreeWith;
using rtl::Msg;

template <typename T>
using GPtr = std::unique_ptr<T, FreeWith<&::g_object_unref>>;
using ParserOptionsPtr =
    std::unique_ptr<GMimeParserOptions, FreeWith<&::g_mime_parser_options_free>>;
using FormatOptionsPtr =
    std::unique_ptr<GMimeFormatOptions, FreeWith<&::g_mime_format_options_free>>;
using DateTimePtr = std::unique_ptr<GDateTime, FreeWith<&::g_date_time_unref>>;
using CharPtr = std::unique_ptr<char, FreeWith<&::g_free>>;

constexpr std::u8string_view kTaxVersion = u8"ТДХ:1.0";
constexpr size_t kChunk = 64 * 1024;
constexpr size_t kMaxNameBytes = 200;

// text with every occurrence of what replaced by with.
std::string ReplacedAll(std::string text, const std::string& what, const std::string& with) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) {
    text.replace(at, what.size(), with);
    at += with.size();
  }
  return text;
}

// --- Writing ------------------------------------------------------------------------------------

// The OS error of errno, naming the file it concerns.
[[noreturn]] void RaiseFileError(const std::string& path) {
  const int error = errno;
  try {
    rtl::RaiseOSError(error);
  } catch (rtl::Exception& raised) {
    raised.SetMessage(raised.Message() + " [" + path + "]");
    throw;
  }
}

[[noreturn]] void RaiseBadAddress(const std::string& address) {
  rtl::RaiseFmt(u8"Неверный адрес электронной почты [%s]", address);
}

// The bytes a mailbox address written here may hold: printable ASCII without blanks and without the
// characters that end or delimit an address in a header (RFC 5322 section 3.4).
bool IsAddressByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte > 0x20 && byte < 0x7F &&
         std::string_view("<>,;:\"()[]\\").find(c) == std::string_view::npos;
}

// The header value of one mailbox (RFC 5322 "mailbox"), given as an address or as a display name
// and an address in angle brackets; see CreateEmailByPackage. GMime's address parser splits the
// text, so a list, a group, an empty address or a second address are seen and refused rather
// than cut to the first mailbox.
std::string MailboxHeaderValue(const std::string& address, const char* argument,
                               std::string_view header) {
  if (address.empty()) {
    rtl::RaiseFmt(u8"Передан пустой аргумент: %s", std::string(argument));
  }
  if (rtl::HasControlCharacter(address)) {
    RaiseBadAddress(address);
  }
  using ListPtr = std::unique_ptr<InternetAddressList, FreeWith<&::g_object_unref>>;
  const ListPtr list(
      ::internet_address_list_parse(nullptr, rtl::AnsiToUtf8String(address).c_str()));
  if (!list || ::internet_address_list_length(list.get()) != 1 ||
      !INTERNET_ADDRESS_IS_MAILBOX(::internet_address_list_get_address(list.get(), 0))) {
    RaiseBadAddress(address);
  }
  InternetAddress* mailbox = ::internet_address_list_get_address(list.get(), 0);
  const std::string addr(::internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(mailbox)));
  const size_t at = addr.find('@');
  if (at == 0 || at == std::string::npos || at + 1 == addr.size() ||
      addr.find('@', at + 1) != std::string::npos || !std::ranges::all_of(addr, IsAddressByte)) {
    RaiseBadAddress(address);
  }
  const char* utf8_name = ::internet_address_get_name(mailbox);
  const std::string name = rtl::Trim(rtl::Utf8ToAnsi(std::string_view(utf8_name ? utf8_name : "")));
  if (name.empty()) {
    return " " + addr + "\n";
  }
  if (rtl::HasControlCharacter(name)) {
    RaiseBadAddress(address);
  }
  // A plain ASCII name as a quoted string; any other as encoded words, the address folded onto
  // a line of its own so that no line grows beyond 76 characters.
  std::string value = EncodeHeaderValue(header, name);
  if (value.find("=?") == std::string::npos) {
    std::string quoted = " \"";
    for (const char c : name) {
      quoted += (c == '"' || c == '\\') ? std::string{'\\', c} : std::string{c};
    }
    return quoted + "\" <" + addr + ">\n";
  }
  value.pop_back();
  return value + "\n <" + addr + ">\n";
}

// Sets the raw value of the message's header name (added by GMime before) to value.
void SetRawHeader(GMimeObject* object, const char* name, const std::string& value) {
  GMimeHeaderList* headers = ::g_mime_object_get_header_list(object);
  GMimeHeader* header = ::g_mime_header_list_get_header(headers, name);
  ::g_mime_header_set_raw_value(header, value.c_str());
}

// Appends the header name with value written as our own encoded words: GMime is handed the
// finished ASCII text as the raw value, so it does not encode it again.
void AppendEncodedHeader(GMimeObject* object, const char* name, std::string_view value) {
  ::g_mime_object_append_header(object, name, "", nullptr);
  GMimeHeaderList* headers = ::g_mime_object_get_header_list(object);
  GMimeHeader* header =
      ::g_mime_header_list_get_header_at(headers, ::g_mime_header_list_get_count(headers) - 1);
  ::g_mime_header_set_raw_value(header, EncodeHeaderValue(name, value).c_str());
}

// Opens the saved package and deletes its file at once: the open stream keeps the content
// readable until the message is written, and no copy of the package stays behind on disk.
GPtr<GMimeStream> OpenAndDelete(const std::string& path) {
  const std::string native = rtl::NativePath(path);
  base::UniqueFd fd(::open(native.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0 || ::unlink(native.c_str()) != 0) {
    RaiseFileError(path);
  }
  ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  return GPtr<GMimeStream>(NewFileStream(std::move(fd)));
}

GPtr<GMimeObject> AttachmentPart(GMimeStream* content, const std::string& file_name) {
  GPtr<GMimePart> part(::g_mime_part_new_with_type("application", "octet-stream"));
  const GPtr<GMimeDataWrapper> wrapper(
      ::g_mime_data_wrapper_new_with_stream(content, GMIME_CONTENT_ENCODING_DEFAULT));
  ::g_mime_part_set_content(part.get(), wrapper.get());
  ::g_mime_object_set_content_type_parameter(GMIME_OBJECT(part.get()), "charset", "Windows-1251");
  ::g_mime_part_set_filename(part.get(), rtl::AnsiToUtf8String(file_name).c_str());
  ::g_mime_part_set_content_encoding(part.get(), GMIME_CONTENT_ENCODING_BASE64);
  GPtr<GMimeMultipart> mixed(::g_mime_multipart_new_with_subtype("mixed"));
  ::g_mime_multipart_add(mixed.get(), GMIME_OBJECT(part.get()));
  return GPtr<GMimeObject>(GMIME_OBJECT(mixed.release()));
}

// The message text, base64 of a package of package_size bytes in lines of at most 76 characters
// ending in CR LF, and room for the headers: reserved at once, the text is never moved.
size_t ExpectedMessageSize(uint64_t package_size) {
  const uint64_t encoded = (package_size + 2) / 3 * 4;
  return static_cast<size_t>(encoded + (encoded / 76 + 1) * 2 + (16 << 10));
}

std::string WriteMessage(GMimeMessage* message, uint64_t package_size) {
  std::string text;
  rtl::ReserveLarge(text, ExpectedMessageSize(package_size));
  const GPtr<GMimeStream> out(NewStringStream(text));
  const FormatOptionsPtr options(::g_mime_format_options_new());
  // RFC 5322 lines end in CR LF.
  ::g_mime_format_options_set_newline_format(options.get(), GMIME_NEWLINE_FORMAT_DOS);
  if (::g_mime_object_write_to_stream(GMIME_OBJECT(message), options.get(), out.get()) < 0) {
    rtl::RaiseLastOSError();
  }
  return text;
}

// --- Reading ------------------------------------------------------------------------------------

[[noreturn]] void RaiseBadFormat(std::u8string_view reason) {
  rtl::RaiseFmt(u8"Неверный формат сообщения: %s", Msg(reason));
}

// Counts "boundary" (any case): every multipart GMime nests needs one, so a bound on them bounds
// the depth and width of what the parser walks (its own nesting limit is far deeper, and each
// level makes every following line be compared with all open boundaries). The text is scanned
// Horspool-wise: the byte under the word's last letter tells how far the word can move on, so
// most of a base64 body is stepped over eight bytes at a time.
int32_t CountBoundaries(std::string_view text) {
  constexpr std::string_view kWord = "boundary";
  constexpr size_t kLast = kWord.size() - 1;
  std::array<uint8_t, 256> shift{};
  shift.fill(static_cast<uint8_t>(kWord.size()));
  for (size_t i = 0; i < kLast; ++i) {
    const auto lower = static_cast<unsigned char>(kWord[i]);
    shift[lower] = shift[lower & ~0x20U] = static_cast<uint8_t>(kLast - i);
  }
  int32_t count = 0;
  for (size_t at = 0; at + kWord.size() <= text.size();) {
    const auto last = static_cast<unsigned char>(text[at + kLast]);
    if ((last | 0x20U) == static_cast<unsigned char>(kWord[kLast])) {
      size_t i = 0;
      while (i < kLast && (text[at + i] | 0x20) == kWord[i]) {
        ++i;
      }
      if (i == kLast) {
        ++count;
        at += kWord.size();
        continue;
      }
    }
    at += shift[last];
  }
  return count;
}

// What a walk over the message's lines counts before GMime builds anything: the lines that may
// open a part ("--" and a boundary) and the header fields. GMime makes an object for each part and
// each header field, several hundred bytes apiece, so a message of tiny parts or header lines
// would cost a hundred times its size. Header fields are counted in header blocks: at the start,
// after each line that begins with "--", and after the blank line that ends a block when a field
// follows at once (the headers of an embedded message). A block ends at a blank line.
struct LineCounts {
  int64_t delimiters = 0;
  int64_t header_fields = 0;
};

bool IsFieldLine(std::string_view line) {
  const size_t colon = line.find(':');
  return colon != std::string_view::npos && colon > 0 &&
         std::all_of(line.begin(), line.begin() + static_cast<ptrdiff_t>(colon),
                     [](char c) { return c > 0x20 && c < 0x7F; });
}

LineCounts CountLines(std::string_view text) {
  LineCounts counts;
  bool in_headers = true;
  bool after_headers = false;
  for (size_t at = 0; at < text.size();) {
    const void* found = std::memchr(text.data() + at, '\n', text.size() - at);
    const size_t end =
        found ? static_cast<size_t>(static_cast<const char*>(found) - text.data()) : text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    if (line.starts_with("--")) {
      ++counts.delimiters;
      in_headers = true;
      after_headers = false;
      continue;
    }
    if (!in_headers && after_headers && IsFieldLine(line)) {
      in_headers = true;
    }
    after_headers = false;
    if (in_headers) {
      if (line.empty()) {
        in_headers = false;
        after_headers = true;
      } else if (line.front() != ' ' && line.front() != '\t') {
        ++counts.header_fields;
      }
    }
  }
  return counts;
}

// Refuses a message whose structure is larger than limits allow, before it is parsed.
void CheckStructure(std::string_view email, const MailLimits& limits) {
  const auto too_many_parts = [&](int64_t limit) {
    rtl::RaiseFmt(u8"Слишком много составных частей в сообщении (больше %d)", limit);
  };
  if (CountBoundaries(email) > limits.MaxBoundaries) {
    too_many_parts(limits.MaxBoundaries);
  }
  const LineCounts counts = CountLines(email);
  if (counts.delimiters > limits.MaxDelimiters) {
    too_many_parts(limits.MaxDelimiters);
  }
  if (counts.header_fields > limits.MaxHeaderFields) {
    rtl::RaiseFmt(u8"Слишком много полей заголовков в сообщении (больше %d)",
                  static_cast<int64_t>(limits.MaxHeaderFields));
  }
}

// The first finding of the parser that makes the message unusable.
struct ParseFindings {
  GMimeParserWarning fatal = static_cast<GMimeParserWarning>(0);
};

void OnParserWarning(gint64 /*offset*/, GMimeParserWarning code, const gchar* /*item*/,
                     gpointer data) {
  auto* findings = static_cast<ParseFindings*>(data);
  switch (code) {
    case GMIME_CRIT_NESTING_OVERFLOW:
    case GMIME_CRIT_MULTIPART_WITHOUT_BOUNDARY:
    case GMIME_WARN_TRUNCATED_MESSAGE:
    case GMIME_CRIT_PART_WITHOUT_HEADERS_OR_CONTENT:
      if (findings->fatal == 0) {
        findings->fatal = code;
      }
      break;
    default:
      break;
  }
}

void CheckFindings(const ParseFindings& findings) {
  switch (findings.fatal) {
    case GMIME_CRIT_NESTING_OVERFLOW:
      RaiseBadFormat(u8"части вложены слишком глубоко");
    case GMIME_CRIT_MULTIPART_WITHOUT_BOUNDARY:
      RaiseBadFormat(u8"у составной части нет границы (boundary)");
    case GMIME_WARN_TRUNCATED_MESSAGE:
      RaiseBadFormat(u8"сообщение обрезано");
    case GMIME_CRIT_PART_WITHOUT_HEADERS_OR_CONTENT:
      RaiseBadFormat(u8"часть без заголовков и содержимого");
    default:
      break;
  }
}

// GMime reads the message text where it lies: a byte array that borrows the text (and never
// frees it) backs a memory stream that does not own the array.
struct BorrowedArrayFree {
  void operator()(GByteArray* array) const noexcept { ::g_byte_array_free(array, FALSE); }
};
using BorrowedArray = std::unique_ptr<GByteArray, BorrowedArrayFree>;

BorrowedArray Borrow(std::string_view text) {
  // GMime only reads from the stream; the const_cast never leads to a write.
  return BorrowedArray(::g_byte_array_new_take(
      reinterpret_cast<guint8*>(const_cast<char*>(text.data())), text.size()));
}

// The leaf parts below object, in order.
void CollectLeaves(GMimeObject* object, std::vector<GMimeObject*>& leaves) {
  if (!GMIME_IS_MULTIPART(object)) {
    leaves.push_back(object);
    return;
  }
  auto* multipart = GMIME_MULTIPART(object);
  for (int i = 0; i < ::g_mime_multipart_get_count(multipart); ++i) {
    CollectLeaves(::g_mime_multipart_get_part(multipart, i), leaves);
  }
}

// The one part of the message that holds the package.
GMimePart* PackagePart(GMimeMessage* message) {
  std::vector<GMimeObject*> leaves;
  GMimeObject* body = ::g_mime_message_get_mime_part(message);
  if (body != nullptr && GMIME_IS_MULTIPART(body)) {
    CollectLeaves(body, leaves);
  }
  if (leaves.size() != 1) {
    rtl::RaiseFmt(u8"Неверное количество вложений: [%d]", static_cast<int64_t>(leaves.size()));
  }
  GMimeObject* leaf = leaves.front();
  const bool is_part = GMIME_IS_PART(leaf);
  if (!is_part || (GMIME_IS_TEXT_PART(leaf) && !::g_mime_part_is_attachment(GMIME_PART(leaf)))) {
    const CharPtr type(::g_mime_content_type_get_mime_type(::g_mime_object_get_content_type(leaf)));
    rtl::RaiseFmt(u8"Сообщение не содержит вложения с пакетом: его единственная часть - %s",
                  rtl::Utf8ToAnsi(std::string_view(type ? type.get() : "")));
  }
  return GMIME_PART(leaf);
}

// A bare name that cannot leave the folder or break a path: see the header.
std::string SafeFileName(const char* utf8_name) {
  const std::string name =
      rtl::FileNamePart(rtl::Utf8ToAnsi(std::string_view(utf8_name ? utf8_name : "")));
  std::string safe;
  // Blanks around the name are dropped, as the folder joins of the callers drop them: " .. "
  // must not become "..".
  for (const char c : rtl::Trim(name).substr(0, kMaxNameBytes)) {
    const bool bad = rtl::HasControlCharacter(std::string_view(&c, 1)) ||
                     std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos;
    safe += bad ? '_' : c;
  }
  safe = rtl::Trim(safe);
  if (safe.empty() || safe == "." || safe == "..") {
    return "package";
  }
  return safe;
}

// The kinds of bytes a base64 body holds.
enum Base64Kind : uint8_t { kOther, kLetter, kBlank, kPadding };

constexpr std::array<uint8_t, 256> Base64Kinds() {
  std::array<uint8_t, 256> kinds{};
  for (int c = 0; c < 256; ++c) {
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') || c == '+' || c == '/';
    const bool blank = c == '\r' || c == '\n' || c == ' ' || c == '\t';
    kinds[static_cast<size_t>(c)] =
        letter ? kLetter : (blank ? kBlank : (c == '=' ? kPadding : kOther));
  }
  return kinds;
}

// Base64 checked as it streams by: only the alphabet and blanks, "=" only as one or two final
// padding characters, whole groups of four. GMime's decoder would skip anything else silently.
class Base64Check final {
 public:
  void Feed(const char* data, size_t size) {
    static constexpr std::array<uint8_t, 256> kKinds = Base64Kinds();
    for (size_t i = 0; i < size; ++i) {
      // The letters of a line in one tight run, then what ends it.
      const size_t start = i;
      while (i < size && kKinds[static_cast<unsigned char>(data[i])] == kLetter) {
        ++i;
      }
      if (i > start) {
        if (padding_ > 0) {
          Fail();
        }
        significant_ += static_cast<int64_t>(i - start);
        if (i == size) {
          break;
        }
      }
      const uint8_t kind = kKinds[static_cast<unsigned char>(data[i])];
      if (kind == kPadding) {
        ++padding_;
        ++significant_;
      } else if (kind != kBlank) {
        Fail();
      }
    }
    if (padding_ > 2) {
      Fail();
    }
  }
  void Finish() const {
    if (significant_ % 4 != 0) {
      Fail();
    }
  }

 private:
  [[noreturn]] static void Fail() { rtl::RaiseFmt(u8"Неверная кодировка base64 во вложении"); }

  int64_t significant_ = 0;
  int32_t padding_ = 0;
};

// Decodes the part's content into the new file path, chunk by chunk, counting the bytes.
void WriteAttachment(GMimePart* part, const std::string& path, int64_t limit) {
  base::UniqueFd file(
      ::open(rtl::NativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (file.Get() < 0) {
    rtl::RaiseLastOSError();
  }
  GMimeDataWrapper* content = ::g_mime_part_get_content(part);
  if (content != nullptr) {
    GMimeStream* encoded = ::g_mime_data_wrapper_get_stream(content);
    const GMimeContentEncoding encoding = ::g_mime_data_wrapper_get_encoding(content);
    GMimeEncoding state;
    ::g_mime_encoding_init_decode(&state, encoding);
    std::vector<char> in(kChunk);
    std::vector<char> out(::g_mime_encoding_outlen(&state, kChunk) + 64);
    Base64Check check;
    int64_t total = 0;
    auto emit = [&](size_t size) {
      total += static_cast<int64_t>(size);
      if (total > limit) {
        rtl::RaiseFmt(u8"Вложение больше допустимого размера (%d байт)", limit);
      }
      rtl::RaiseIfOSError(base::WriteAll(file.Get(), std::string_view(out.data(), size)));
    };
    ::g_mime_stream_reset(encoded);
    for (;;) {
      const ssize_t read = ::g_mime_stream_read(encoded, in.data(), in.size());
      if (read < 0) {
        rtl::RaiseLastOSError();
      }
      if (read == 0) {
        break;
      }
      if (encoding == GMIME_CONTENT_ENCODING_BASE64) {
        check.Feed(in.data(), static_cast<size_t>(read));
      }
      emit(::g_mime_encoding_step(&state, in.data(), static_cast<size_t>(read), out.data()));
    }
    check.Finish();
    emit(::g_mime_encoding_flush(&state, in.data(), 0, out.data()));
  }
  rtl::RaiseIfOSError(file.Close());
}

[[noreturn]] void RaiseMessageTooLarge(int64_t limit) {
  rtl::RaiseFmt(u8"Сообщение больше допустимого размера (%d байт)", limit);
}

}  // namespace

std::string CreateEmailByPackage(package::CTdx880Doc& doc, const std::string& tmp_dir,
                                 const std::string& sender, const std::string& receiver) {
  const MailRuntime runtime;
  const std::string from = MailboxHeaderValue(sender, "wsSenderEmail", "From");
  const std::string to = MailboxHeaderValue(receiver, "wsReceiverEmail", "To");
  const GPtr<GMimeMessage> message(::g_mime_message_new(FALSE));
  ::g_mime_message_add_mailbox(message.get(), GMIME_ADDRESS_TYPE_FROM, nullptr, "a@b");
  ::g_mime_message_add_mailbox(message.get(), GMIME_ADDRESS_TYPE_TO, nullptr, "a@b");
  SetRawHeader(GMIME_OBJECT(message.get()), "From", from);
  SetRawHeader(GMIME_OBJECT(message.get()), "To", to);
  ::g_mime_message_set_message_id(message.get(), rtl::NewGuidText().c_str());
  const package::CTdx880Doc::DocumentPtr main_file = doc.GetMainFile();
  if (!main_file) {
    rtl::RaiseFmt(u8"Не удалось найти главный документ");
  }
  // The attachment's name goes into the part's headers: a line break in it would end them.
  if (const std::string given = rtl::FileNamePart(doc.FileName());
      rtl::HasControlCharacter(given)) {
    rtl::RaiseFmt(u8"Недопустимое имя файла пакета: [%s]", given);
  }
  // Saved before the headers are made: a package saved for the first time gets its ThreadCode
  // from the save, and "X-Message-Id" must carry the code of the package that travels. The save
  // goes into a private folder of this conversion, so conversions sharing tmp_dir never meet
  // over a file name; the folder is locked while it lives, and a sweep removes the folders of
  // processes that died.
  rtl::SweepStaleFolders(tmp_dir, "");
  rtl::FolderLock folder = rtl::CreateLockedFolder(tmp_dir, "");
  if (!doc.Save(folder.Folder())) {
    rtl::RaiseFmt(u8"Не удалось сохранить пакет в папку [%s]", tmp_dir);
  }
  const GPtr<GMimeStream> content = OpenAndDelete(doc.FileName());
  folder.Remove();
  const gint64 package_size = ::g_mime_stream_length(content.get());
  GMimeObject* headers = GMIME_OBJECT(message.get());
  const std::string version = Msg(kTaxVersion);
  AppendEncodedHeader(headers, "X-Message-Id", doc.ThreadCode());
  AppendEncodedHeader(headers, "X-Tax-Code", doc.TransactTypeCode());
  AppendEncodedHeader(headers, "X-Tax-Version", version);
  AppendEncodedHeader(headers, "Subject",
                      rtl::Format("%s-%s-%s", version, main_file->DocType(), doc.TransactType()));
  const DateTimePtr now(::g_date_time_new_now_utc());
  ::g_mime_message_set_date(message.get(), now.get());
  const GPtr<GMimeObject> body = AttachmentPart(content.get(), rtl::FileNamePart(doc.FileName()));
  ::g_mime_message_set_mime_part(message.get(), body.get());
  return WriteMessage(message.get(), static_cast<uint64_t>(std::max<gint64>(package_size, 0)));
}

void CreatePackageByEmail(std::string_view email, const std::string& tmp_dir,
                          package::CTdx880Doc& doc, const MailLimits& limits) {
  if (static_cast<int64_t>(email.size()) > limits.MaxMessageSize) {
    RaiseMessageTooLarge(limits.MaxMessageSize);
  }
  CheckStructure(email, limits);
  const MailRuntime runtime;
  // Declared first, so the array outlives the stream and every part that reads from it.
  const BorrowedArray text = Borrow(email);
  const GPtr<GMimeStream> stream(::g_mime_stream_mem_new());
  ::g_mime_stream_mem_set_byte_array(GMIME_STREAM_MEM(stream.get()), text.get());
  const GPtr<GMimeParser> parser(::g_mime_parser_new_with_stream(stream.get()));
  const ParserOptionsPtr options(::g_mime_parser_options_new());
  ParseFindings findings;
  ::g_mime_parser_options_set_warning_callback(options.get(), &OnParserWarning, &findings);
  const GPtr<GMimeMessage> message(::g_mime_parser_construct_message(parser.get(), options.get()));
  if (!message) {
    RaiseBadFormat(u8"нет заголовков письма");
  }
  CheckFindings(findings);
  GMimePart* part = PackagePart(message.get());
  const std::string name = SafeFileName(::g_mime_part_get_filename(part));

  // A folder of this conversion, locked while it lives: a process killed meanwhile leaves it
  // unlocked, and the next conversion (or package) in tmp_dir sweeps it.
  rtl::SweepStaleFolders(tmp_dir, "");
  const rtl::FolderLock folder = rtl::CreateLockedFolder(tmp_dir, "");
  const std::string path = rtl::IncludeTrailingBackslash(folder.Folder()) + name + ".zip";
  WriteAttachment(part, path, limits.MaxAttachmentSize);
  try {
    doc.Open(path);
  } catch (rtl::Exception& error) {
    // The copy in the temporary folder is gone when the caller reads the message: it names the
    // attachment instead.
    error.SetMessage(ReplacedAll(error.Message(), path, name));
    throw;
  }
  doc.SetFileName(name);
}

void CreatePackageByEmailFile(const std::string& email_file, const std::string& tmp_dir,
                              package::CTdx880Doc& doc, const MailLimits& limits) {
  // Read rather than mapped: a file cut short while it is read ends in a short read (then a
  // truncated message), never in SIGBUS. The reader takes regular files only, so a FIFO or a
  // device is refused at once.
  struct stat status {};
  if (::stat(rtl::NativePath(email_file).c_str(), &status) == 0 &&
      status.st_size > limits.MaxMessageSize) {
    RaiseMessageTooLarge(limits.MaxMessageSize);
  }
  const std::string email =
      rtl::LoadFileToString(email_file, static_cast<uint64_t>(limits.MaxMessageSize));
  CreatePackageByEmail(email, tmp_dir, doc, limits);
}

}  // namespace lyr::mail
