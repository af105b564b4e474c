// What the certificate commands read from the command line: store names, locations and
// thumbprints, turned into the library's codes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "crypt/platform/content_cipher.h"
#include "crypt/platform/store_location.h"
#include "crypt/store_code.h"
#include "options.h"

namespace lyr::tool {

// The local machine with --machine, else the current user.
crypt::StoreLocation LocationOf(const Options& options);
// "current user" or "local machine".
std::string LocationText(crypt::StoreLocation location);

// The store of a store name "MY", "ROOT", "CA", "addressbook" (any letter case) or of a code 1
// to 4; nothing for any other text.
std::optional<crypt::StoreCode> StoreCodeOf(std::string_view name);

// A thumbprint as the stores compare it (40 upper-case hexadecimal digits) from how people write
// it: any letter case, with or without ':' or blanks between the digits (openssl prints
// "SHA1 Fingerprint=AB:CD:..."). Nothing when the text is not 40 hexadecimal digits.
std::optional<std::string> NormalThumbprint(std::string_view text);

// The content cipher that the value of --cipher names (GOST 28147-89 for "", when the option
// is absent). Raises rtl::Exception listing the names for any other text.
crypt::ContentCipher ContentCipherOf(const std::string& name);
// The names --cipher takes, as "gost89|magma-ctr-acpkm|...".
std::string ContentCipherChoices();

// Seconds since the Unix epoch as "YYYY-MM-DD HH:MM:SS UTC".
std::string UtcText(int64_t seconds);

}  // namespace lyr::tool
