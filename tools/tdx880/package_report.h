// What the package commands print about an open package: its header, items and signatures.
#pragma once

#include <string>

namespace lyr::package {
class CTdx880Doc;
}  // namespace lyr::package

namespace lyr::tool {

// The package as "tdx880 show" prints it (windows-1251): flow, transaction, thread code,
// participants, then every item with its type, flags, names and signatures.
// package must be open.
std::string PackageText(package::CTdx880Doc& package);

}  // namespace lyr::tool
