// Writes the interface header, the IDL and the invoker table from the type library table.
#include "automation/type_library_writer.h"

#include <cstdio>
#include <string_view>
#include <vector>

namespace lyr::automation {
namespace {

std::string GuidText(const GUID& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", guid.Data1,
                guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

std::string GuidInitializer(const GUID& guid) {
  char text[120];
  std::snprintf(text, sizeof text,
                "{0x%08X, 0x%04X, 0x%04X, {0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X, "
                "0x%02X, 0x%02X}}",
                guid.Data1, guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2],
                guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

std::string TypeName(const TypeLibrary& library, TypeRef type, bool idl) {
  switch (type.kind) {
    case ValueKind::Bool:
      return "VARIANT_BOOL";
    case ValueKind::Long:
      return idl ? "long" : "LONG";
    case ValueKind::String:
      return "BSTR";
    case ValueKind::Enumeration:
      return std::string(library.types[static_cast<std::size_t>(type.type)].name);
    case ValueKind::Interface:
      return std::string(library.types[static_cast<std::size_t>(type.type)].name) + "*";
    case ValueKind::None:
      break;
  }
  return "void";
}

// The parameters as a C/C++ list, retval last; `This` first for C.
std::string ParameterList(const TypeLibrary& library, const Member& member,
                          std::string_view c_this) {
  std::string list;
  auto add = [&](const std::string& text) {
    if (!list.empty()) {
      list += ", ";
    }
    list += text;
  };
  if (!c_this.empty()) {
    add(std::string(c_this) + "* This");
  }
  for (const Param& param : member.Params()) {
    add(TypeName(library, param.type, false) + " " +
        (param.name.empty() ? std::string("Value") : std::string(param.name)));
  }
  if (member.result.kind != ValueKind::None) {
    add(TypeName(library, member.result, false) + "* " + std::string(member.result_name));
  }
  return list;
}

std::string ArgumentNames(const Member& member) {
  std::string list = "(This)";
  for (const Param& param : member.Params()) {
    list += ", (" + (param.name.empty() ? std::string("Value") : std::string(param.name)) + ")";
  }
  if (member.result.kind != ValueKind::None) {
    list += ", (" + std::string(member.result_name) + ")";
  }
  return list;
}

std::string ParameterNames(const Member& member) {
  std::string list = "This";
  for (const Param& param : member.Params()) {
    list += ", " + (param.name.empty() ? std::string("Value") : std::string(param.name));
  }
  if (member.result.kind != ValueKind::None) {
    list += ", " + std::string(member.result_name);
  }
  return list;
}

// The interface and its library parents, IDispatch side first.
std::vector<std::size_t> Chain(const TypeLibrary& library, std::size_t index) {
  std::vector<std::size_t> chain;
  for (int16_t at = static_cast<int16_t>(index); at >= 0;
       at = library.types[static_cast<std::size_t>(at)].parent) {
    chain.insert(chain.begin(), static_cast<std::size_t>(at));
  }
  return chain;
}

std::string DispidText(DISPID dispid) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<uint32_t>(dispid));
  return text;
}

void WriteCppInterface(std::string& out, const TypeLibrary& library, std::size_t index) {
  const TypeDescription& type = library.types[index];
  const std::string parent =
      type.parent < 0 ? "IDispatch"
                      : std::string(library.types[static_cast<std::size_t>(type.parent)].name);
  out += "struct " + std::string(type.name) + " : public " + parent + " {\n";
  for (const Member& member : type.members) {
    out += "  /* DISPID " + std::to_string(member.dispid) + " */\n";
    out += "  virtual HRESULT STDMETHODCALLTYPE " + SlotName(member) + "(" +
           ParameterList(library, member, {}) + ") = 0;\n";
  }
  out += "};\n\n";
}

void WriteCInterface(std::string& out, const TypeLibrary& library, std::size_t index) {
  const std::string name(library.types[index].name);
  out += "typedef struct " + name + "Vtbl {\n";
  out += "  HRESULT(STDMETHODCALLTYPE* QueryInterface)(" + name +
         "* This, REFIID riid, void** ppvObject);\n";
  out += "  ULONG(STDMETHODCALLTYPE* AddRef)(" + name + "* This);\n";
  out += "  ULONG(STDMETHODCALLTYPE* Release)(" + name + "* This);\n";
  out += "  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(" + name + "* This, UINT* pctinfo);\n";
  out += "  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(" + name +
         "* This, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);\n";
  out += "  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(" + name +
         "* This, REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId);\n";
  out += "  HRESULT(STDMETHODCALLTYPE* Invoke)(" + name +
         "* This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* "
         "pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);\n";
  for (std::size_t owner : Chain(library, index)) {
    for (const Member& member : library.types[owner].members) {
      out += "  HRESULT(STDMETHODCALLTYPE* " + SlotName(member) + ")(" +
             ParameterList(library, member, name) + ");\n";
    }
  }
  out += "} " + name + "Vtbl;\n";
  out += "struct " + name + " {\n  const struct " + name + "Vtbl* lpVtbl;\n};\n";
  out += "#define " + name + "_QueryInterface(This, riid, ppvObject) " +
         "((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))\n";
  out += "#define " + name + "_AddRef(This) ((This)->lpVtbl->AddRef((This)))\n";
  out += "#define " + name + "_Release(This) ((This)->lpVtbl->Release((This)))\n";
  for (std::size_t owner : Chain(library, index)) {
    for (const Member& member : library.types[owner].members) {
      out += "#define " + name + "_" + SlotName(member) + "(" + ParameterNames(member) +
             ") ((This)->lpVtbl->" + SlotName(member) + "(" + ArgumentNames(member) + "))\n";
    }
  }
  out += "\n";
}

void WriteIdlInterface(std::string& out, const TypeLibrary& library, std::size_t index) {
  const TypeDescription& type = library.types[index];
  const std::string parent =
      type.parent < 0 ? "IDispatch"
                      : std::string(library.types[static_cast<std::size_t>(type.parent)].name);
  out += "  [\n    uuid(" + GuidText(type.guid) + "),\n    version(" +
         std::to_string(library.major_version) + "." + std::to_string(library.minor_version) +
         "),\n    dual,\n    oleautomation\n  ]\n";
  out += "  interface " + std::string(type.name) + ": " + parent + "\n  {\n";
  for (const Member& member : type.members) {
    std::string attributes = "id(" + DispidText(member.dispid) + ")";
    if (member.kind == MemberKind::Get) {
      attributes = "propget, " + attributes;
    } else if (member.kind == MemberKind::Put) {
      attributes = "propput, " + attributes;
    }
    std::string parameters;
    for (const Param& param : member.Params()) {
      if (!parameters.empty()) {
        parameters += ", ";
      }
      parameters += "[in] " + TypeName(library, param.type, true) + " " +
                    (param.name.empty() ? std::string("Value") : std::string(param.name));
    }
    if (member.result.kind != ValueKind::None) {
      if (!parameters.empty()) {
        parameters += ", ";
      }
      parameters += "[out, retval] " + TypeName(library, member.result, true) + "* " +
                    std::string(member.result_name);
    }
    out += "    [" + attributes + "]\n    HRESULT " + std::string(member.name) + "(" + parameters +
           ");\n";
  }
  out += "  };\n\n";
}

}  // namespace

std::string SlotName(const Member& member) {
  switch (member.kind) {
    case MemberKind::Get:
      return "get_" + std::string(member.name);
    case MemberKind::Put:
      return "put_" + std::string(member.name);
    case MemberKind::Method:
      break;
  }
  return std::string(member.name);
}

std::string InterfaceHeaderText(const TypeLibrary& library) {
  std::string out;
  out += "/* " + std::string(library.name) +
         " type library: the automation interfaces of libLyrTdxPackage880.so for C and C++ "
         "hosts.\n * Generated from the server's type library table by lyr_tlbgen; do not "
         "edit. */\n";
  out += "#ifndef LYR_TDX880_LYRTDXPACKAGE880_H\n#define LYR_TDX880_LYRTDXPACKAGE880_H\n\n";
  out += "#include \"lyr/com/com.h\"\n\n";
  out += "/* " + std::string(library.help_string) + ", version " +
         std::to_string(library.major_version) + "." + std::to_string(library.minor_version) +
         ", locale 0x0409. */\n";
  out += "static const GUID LIBID_" + std::string(library.name) + " = " +
         GuidInitializer(library.libid) + ";\n";
  out += "#define " + std::string(library.name) + "MajorVersion " +
         std::to_string(library.major_version) + "\n";
  out += "#define " + std::string(library.name) + "MinorVersion " +
         std::to_string(library.minor_version) + "\n\n";

  out += "/* Enumerations (32-bit values). */\n";
  for (const TypeDescription& type : library.types) {
    if (type.kind != TypeKind::Enumeration) {
      continue;
    }
    // C++ gives the enumeration its 32-bit type, so that any value a host passes is a value of it.
    out += "#ifdef __cplusplus\ntypedef enum " + std::string(type.name) +
           " : int32_t {\n#else\ntypedef enum " + std::string(type.name) + " {\n#endif\n";
    for (std::size_t v = 0; v < type.values.size(); ++v) {
      out += "  " + std::string(type.values[v].name) + " = " +
             std::to_string(type.values[v].value) + (v + 1 < type.values.size() ? ",\n" : "\n");
    }
    out += "} " + std::string(type.name) + ";\n";
  }
  out += "\n/* Interface and class identifiers. */\n";
  for (const TypeDescription& type : library.types) {
    const char* prefix = type.kind == TypeKind::Interface ? "IID_"
                         : type.kind == TypeKind::CoClass ? "CLSID_"
                                                          : "GUID_";
    out += "static const GUID " + std::string(prefix) + std::string(type.name) + " = " +
           GuidInitializer(type.guid) + ";\n";
  }
  out += "\n";
  for (const TypeDescription& type : library.types) {
    if (type.kind == TypeKind::Interface) {
      out += "typedef struct " + std::string(type.name) + " " + std::string(type.name) + ";\n";
    }
  }
  out += "\n#ifdef __cplusplus\n\n";
  out +=
      "/* C++: abstract classes whose vtables are the COM vtables: IUnknown, IDispatch, then the "
      "members\n * in slot order. */\n";
  for (std::size_t i = 0; i < library.types.size(); ++i) {
    if (library.types[i].kind == TypeKind::Interface) {
      WriteCppInterface(out, library, i);
    }
  }
  out += "#else /* C */\n\n";
  out += "/* C: each interface is a struct whose first member points at its vtable. */\n";
  for (std::size_t i = 0; i < library.types.size(); ++i) {
    if (library.types[i].kind == TypeKind::Interface) {
      WriteCInterface(out, library, i);
    }
  }
  out += "#endif /* __cplusplus */\n\n#endif /* LYR_TDX880_LYRTDXPACKAGE880_H */\n";
  return out;
}

std::string IdlText(const TypeLibrary& library) {
  std::string out;
  out += "// " + std::string(library.name) +
         " type library. Generated from the server's type library table by lyr_tlbgen; do not "
         "edit.\n\n";
  out += "[\n  uuid(" + GuidText(library.libid) + "),\n  version(" +
         std::to_string(library.major_version) + "." + std::to_string(library.minor_version) +
         "),\n  lcid(0x0409),\n  helpstring(\"" + std::string(library.help_string) + "\")\n]\n";
  out += "library " + std::string(library.name) + "\n{\n  importlib(\"stdole2.tlb\");\n\n";
  for (const TypeDescription& type : library.types) {
    if (type.kind == TypeKind::Interface) {
      out += "  interface " + std::string(type.name) + ";\n";
    }
  }
  out += "\n";
  const std::string version =
      std::to_string(library.major_version) + "." + std::to_string(library.minor_version);
  for (std::size_t i = 0; i < library.types.size(); ++i) {
    const TypeDescription& type = library.types[i];
    switch (type.kind) {
      case TypeKind::Interface:
        WriteIdlInterface(out, library, i);
        break;
      case TypeKind::Enumeration:
        out += "  [\n    uuid(" + GuidText(type.guid) + "),\n    version(" + version +
               ")\n  ]\n  enum " + std::string(type.name) + "\n  {\n";
        for (std::size_t v = 0; v < type.values.size(); ++v) {
          out += "    " + std::string(type.values[v].name) + " = " +
                 std::to_string(type.values[v].value) + (v + 1 < type.values.size() ? ",\n" : "\n");
        }
        out += "  };\n\n";
        break;
      case TypeKind::CoClass:
        out += "  [\n    uuid(" + GuidText(type.guid) + "),\n    version(" + version +
               ")\n  ]\n  coclass " + std::string(type.name) + "\n  {\n    [default] interface " +
               std::string(library.types[static_cast<std::size_t>(type.default_interface)].name) +
               ";\n  };\n\n";
        break;
    }
  }
  out += "};\n";
  return out;
}

std::string InvokerTableText(const TypeLibrary& library) {
  std::string out =
      "// Invokers of every vtable slot, generated from the type library table by lyr_tlbgen.\n";
  std::string index = "const std::span<const Invoker> kInvokerTables[] = {\n";
  for (const TypeDescription& type : library.types) {
    if (type.kind != TypeKind::Interface || type.members.empty()) {
      index += "    {},\n";
      continue;
    }
    const std::string table = "kInvokers_" + std::string(type.name);
    out += "const Invoker " + table + "[] = {\n";
    for (const Member& member : type.members) {
      out += "    &InvokerOf<&" + std::string(type.name) + "::" + SlotName(member) + ">::Call,\n";
    }
    out += "};\n";
    index += "    " + table + ",\n";
  }
  out += index + "};\n";
  return out;
}

std::string InterfaceTraitsText(const TypeLibrary& library) {
  std::string out =
      "// The type library index of every interface, generated from the type library table by "
      "lyr_tlbgen.\n";
  for (std::size_t i = 0; i < library.types.size(); ++i) {
    if (library.types[i].kind != TypeKind::Interface) {
      continue;
    }
    const std::string name(library.types[i].name);
    out += "template <>\nstruct InterfaceTraits<" + name +
           "> {\n  static constexpr std::size_t kTypeIndex = " + std::to_string(i) +
           ";\n  static const IID& Iid() { return IID_" + name + "; }\n};\n";
  }
  return out;
}

}  // namespace lyr::automation
