// The system stores by their codes, as the automation objects and the tool name them.
#pragma once

#include <cstdint>

namespace lyr::crypt {

// A system store: "MY" (personal certificates bound to key containers), "ROOT" (trusted roots),
// "CA" (intermediate authorities and revocation lists), "addressbook" (correspondents). Other
// values are codes from outside, refused where a store is opened.
enum class StoreCode : uint8_t { kMy = 1, kRoot = 2, kCa = 3, kAddressBook = 4 };

}  // namespace lyr::crypt
