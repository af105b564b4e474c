// lyr_tlbgen: writes the texts derived from the type library table (header, IDL, invoker table).
// Usage: lyr_tlbgen header|idl|invokers|traits OUTPUT
#include <cstdio>
#include <fstream>
#include <string>

#include "automation/type_library.h"
#include "automation/type_library_writer.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: lyr_tlbgen header|idl|invokers|traits OUTPUT\n", stderr);
    return 2;
  }
  const std::string kind = argv[1];
  const lyr::automation::TypeLibrary& library = lyr::automation::LyrTdxPackage880Library();
  std::string text;
  if (kind == "header") {
    text = lyr::automation::InterfaceHeaderText(library);
  } else if (kind == "idl") {
    text = lyr::automation::IdlText(library);
  } else if (kind == "invokers") {
    text = lyr::automation::InvokerTableText(library);
  } else if (kind == "traits") {
    text = lyr::automation::InterfaceTraitsText(library);
  } else {
    std::fprintf(stderr, "lyr_tlbgen: unknown output '%s'\n", kind.c_str());
    return 2;
  }
  std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
  file << text;
  return file.good() ? 0 : 1;
}
