// A package as an Internet message and back: one message per package, the saved package file
// as its only attachment, and headers that let a mail robot route it without opening it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lyr::package {
class CTdx880Doc;
}  // namespace lyr::package

namespace lyr::mail {

// Bounds for reading messages, which come from outside and are hostile.
struct MailLimits {
  // The whole message text, checked before parsing.
  int64_t MaxMessageSize = int64_t{512} << 20;
  // The decoded attachment, counted while it is written, so a larger one stops before it fills
  // the disk.
  int64_t MaxAttachmentSize = int64_t{512} << 20;
  // Multipart boundaries a message may declare; deeper or wider messages are refused before
  // GMime walks them.
  int32_t MaxBoundaries = 32;
  // Lines that begin with "--" (each may open a part), and header fields, counted over the whole
  // text before GMime builds an object for each.
  int32_t MaxDelimiters = 1000;
  int32_t MaxHeaderFields = 2000;
};

// The message text for the open package doc (CRLF line ends, ASCII only): From sender, To
// receiver (each exactly one mailbox: "addr@domain" or "Display Name <addr@domain>"; a display
// name that is not plain ASCII is written as windows-1251 "B" encoded words), Message-ID
// "<NewGuidText>", "X-Message-Id" (ThreadCode), "X-Tax-Code" (TransactTypeCode), "X-Tax-Version"
// ("ТДХ:1.0"), Subject "ТДХ:1.0-<DocType of the main file>-<TransactType>" (non-ASCII header text
// as windows-1251 "B" encoded words), and a multipart/mixed body with no text part and one base64
// application/octet-stream attachment (charset "Windows-1251", disposition attachment with the
// saved file's name) holding the package file. The package is saved (CTdx880Doc::Save: its own or a
// generated name) into a new private folder tmp_dir/<32 hexadecimal digits>/ (locked with
// rtl::FolderLock while it lives, so conversions sharing tmp_dir never meet and the folder of a
// killed process is swept by the next one), read and deleted with the folder; doc's FileName is the
// deleted file's path afterwards. Errors: "Передан пустой аргумент: wsSenderEmail" /
// "wsReceiverEmail" for an empty argument; "Неверный адрес электронной почты [%s]" for anything but
// one mailbox (a list, a group, an empty address, an address with blanks, control characters,
// non-ASCII bytes or delimiters, a name with control characters: it would break or forge headers);
// "Не удалось найти главный документ" without a main file; "Недопустимое имя файла пакета: [%s]"
// for a file name with control characters; the container's save errors; OS errors reading the file
// (naming it).
std::string CreateEmailByPackage(package::CTdx880Doc& doc, const std::string& tmp_dir,
                                 const std::string& sender, const std::string& receiver);

// Fills doc (closed or open; its TmpDir is used for its working folder) from the message text
// email: the message must hold exactly one MIME part, and that part is the package file. The
// attachment is written into a new private folder tmp_dir/<32 hexadecimal digits>/ (locked as in
// CreateEmailByPackage) as "<name>.zip", opened as the package, and doc's FileName becomes the
// name; the folder is deleted whatever happens. The name is the attachment's file name reduced
// to a bare, safe name: the part after the last "/" or "\", blanks around it dropped, control
// characters and "/\:*?"<>|" replaced by "_", at most 200 bytes, "package" when nothing is left
// or it is "." or "..".
// Errors: "Сообщение больше допустимого размера (%d байт)"; "Слишком много составных частей в
// сообщении (больше %d)" (MaxBoundaries or MaxDelimiters); "Слишком много полей заголовков в
// сообщении (больше %d)"; "Неверный формат сообщения: %s" for what the parser cannot take (no
// message, nesting deeper than GMime allows, a multipart without boundary, a truncated message,
// a part without headers or content); "Неверное количество вложений: [%d]" when the number of
// leaf parts is not 1 (a message that is not multipart counts 0); "Сообщение не содержит
// вложения с пакетом: его единственная часть - текст" for a lone inline text part or an embedded
// message; "Неверная кодировка base64 во вложении" for base64 with characters outside the
// alphabet or broken padding; "Вложение больше допустимого размера (%d байт)"; OS errors writing
// the file; the container's Open errors for an attachment that is not a package.
void CreatePackageByEmail(std::string_view email, const std::string& tmp_dir,
                          package::CTdx880Doc& doc, const MailLimits& limits = {});

// CreatePackageByEmail for the message in the file email_file (a library path), read whole
// (rtl::LoadFileToString with MaxMessageSize: "Файл не найден: [%s]"; a FIFO or device fails with
// "Не обычный файл:
// [%s]" at once); a file above limits.MaxMessageSize fails before it is read. OS errors for a
// file that cannot be opened or read.
void CreatePackageByEmailFile(const std::string& email_file, const std::string& tmp_dir,
                              package::CTdx880Doc& doc, const MailLimits& limits = {});

}  // namespace lyr::mail
