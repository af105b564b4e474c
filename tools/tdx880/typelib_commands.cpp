// tdx880 typelib: every type description of the type library as a host sees it through ITypeInfo
// (kinds, members with DISPIDs and parameters, enumeration values, classes' default interfaces).
#include <cstdio>
#include <string>

#include "automation/com_ptr.h"
#include "automation/type_info.h"
#include "automation/type_library.h"
#include "command.h"
#include "rtl/format.h"
#include "rtl/text.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

using automation::ComPtr;

std::string Take(BSTR text) {
  std::string value = text == nullptr
                          ? std::string()
                          : rtl::Utf16ToAnsi(std::u16string_view(text, ::SysStringLen(text)));
  ::SysFreeString(text);
  return value;
}

std::string GuidText(const GUID& guid) {
  OLECHAR text[40] = {};
  ::StringFromGUID2(guid, text, 40);
  return rtl::Utf16ToAnsi(std::u16string_view(text));
}

std::string NameOf(ITypeInfo* info, MEMBERID memid) {
  BSTR name = nullptr;
  info->GetDocumentation(memid, &name, nullptr, nullptr, nullptr);
  return Take(name);
}

const char* KindWord(INVOKEKIND kind) {
  switch (kind) {
    case INVOKE_PROPERTYGET:
      return "get";
    case INVOKE_PROPERTYPUT:
    case INVOKE_PROPERTYPUTREF:
      return "put";
    default:
      return "method";
  }
}

// "  201  method  New(wsThreadTypeCode, wsTransactTypeCode)"
std::string FunctionLine(ITypeInfo* info, UINT index) {
  FUNCDESC* func = nullptr;
  if (FAILED(info->GetFuncDesc(index, &func))) {
    return "  ?\n";
  }
  BSTR names[8] = {};
  UINT count = 0;
  info->GetNames(func->memid, names, 8, &count);
  std::string line = rtl::Format("  %d  %-6s  ", func->memid, std::string(KindWord(func->invkind)));
  line += count > 0 ? Take(names[0]) : std::string("?");
  if (func->invkind == INVOKE_FUNC) {
    std::string parameters;
    for (UINT i = 1; i < count; ++i) {
      parameters += (i > 1 ? ", " : "") + Take(names[i]);
    }
    line += "(" + parameters + ")";
  }
  info->ReleaseFuncDesc(func);
  return line + "\n";
}

std::string TypeText(ITypeInfo* info) {
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) {
    return "?\n";
  }
  std::string text = NameOf(info, MEMBERID_NIL) + " " + GuidText(attr->guid);
  switch (attr->typekind) {
    case TKIND_DISPATCH:
      text += rtl::Format(" dual interface, %d members\n", attr->cFuncs);
      for (UINT i = 0; i < attr->cFuncs; ++i) {
        text += FunctionLine(info, i);
      }
      break;
    case TKIND_ENUM:
      text += " enumeration\n";
      for (UINT i = 0; i < attr->cVars; ++i) {
        VARDESC* var = nullptr;
        if (SUCCEEDED(info->GetVarDesc(i, &var))) {
          text += rtl::Format("  %s = %d\n", NameOf(info, var->memid), var->lpvarValue->lVal);
          info->ReleaseVarDesc(var);
        }
      }
      break;
    case TKIND_COCLASS: {
      text += " creatable class";
      HREFTYPE reference = 0;
      ComPtr<ITypeInfo> default_interface;
      if (SUCCEEDED(info->GetRefTypeOfImplType(0, &reference)) &&
          SUCCEEDED(info->GetRefTypeInfo(reference, default_interface.Receive()))) {
        text += ", default interface " + NameOf(default_interface.Get(), MEMBERID_NIL);
      }
      text += "\n";
      break;
    }
    default:
      text += "\n";
      break;
  }
  info->ReleaseTypeAttr(attr);
  return text;
}

int TypeLibrary(const Arguments& arguments) {
  if (!arguments.empty()) {
    PrintError("usage: tdx880 typelib\n");
    return kUsageError;
  }
  const automation::TypeLibrary& library = automation::LyrTdxPackage880Library();
  std::string text =
      rtl::Format("%s %d.%d %s \"%s\", %d type descriptions\n", std::string(library.name),
                  library.major_version, library.minor_version, GuidText(library.libid),
                  std::string(library.help_string), static_cast<int>(library.types.size()));
  for (std::size_t i = 0; i < library.types.size(); ++i) {
    ComPtr<ITypeInfo> info;
    if (FAILED(automation::CreateTypeInfo(i, info.Receive()))) {
      PrintError(rtl::Format("tdx880: no type information for type %d\n", static_cast<int>(i)));
      return 1;
    }
    text += "\n" + rtl::Format("%d. ", static_cast<int>(i + 1)) + TypeText(info.Get());
  }
  Print(text);
  return 0;
}

}  // namespace

std::vector<Command> TypelibCommands() {
  return {{"typelib", "",
           "list the type library's interfaces, members with their DISPIDs, enumerations and "
           "classes, through ITypeInfo",
           &TypeLibrary}};
}

}  // namespace lyr::tool
