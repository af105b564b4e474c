// CTypeInfo: read-only type information made from the type library table. Property accessors are
// functions with INVOKE_PROPERTYGET / INVOKE_PROPERTYPUT, retvals are the functions' return types,
// and an interface lists its parents' members before its own.
#include "automation/type_info.h"

#include <atomic>
#include <new>
#include <string>

#include "automation/dispatcher.h"
#include "automation/server_lock.h"
#include "automation/type_library.h"
#include "rtl/text.h"

namespace lyr::automation {
namespace {

// Owns a FUNCDESC and everything it points at, in one block (FUNCDESC first).
struct FuncDescBlock {
  FUNCDESC desc{};
  ELEMDESC params[kMaxParams]{};
  TYPEDESC pointees[kMaxParams + 1]{};
};

struct VarDescBlock {
  VARDESC desc{};
  VARIANT value{};
};

BSTR AllocName(std::string_view name) {
  const std::u16string text = rtl::AnsiToUtf16(name);
  return ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

// The TYPEDESC of a value; interfaces are pointers to a user-defined type (pointee is used).
TYPEDESC TypeDescOf(TypeRef type, TYPEDESC* pointee) {
  TYPEDESC desc{};
  switch (type.kind) {
    case ValueKind::Bool:
      desc.vt = VT_BOOL;
      break;
    case ValueKind::Long:
      desc.vt = VT_I4;
      break;
    case ValueKind::String:
      desc.vt = VT_BSTR;
      break;
    case ValueKind::Enumeration:
      desc.vt = VT_USERDEFINED;
      desc.hreftype = static_cast<HREFTYPE>(type.type);
      break;
    case ValueKind::Interface:
      pointee->vt = VT_USERDEFINED;
      pointee->hreftype = static_cast<HREFTYPE>(type.type);
      desc.vt = VT_PTR;
      desc.lptdesc = pointee;
      break;
    case ValueKind::None:
      desc.vt = VT_VOID;
      break;
  }
  return desc;
}

class CTypeInfo final : public ITypeInfo {
 public:
  explicit CTypeInfo(std::size_t type_index)
      : library_(LyrTdxPackage880Library()), type_index_(type_index) {
    ObjectCreated();
  }
  CTypeInfo(const CTypeInfo&) = delete;
  CTypeInfo& operator=(const CTypeInfo&) = delete;
  ~CTypeInfo() { ObjectDestroyed(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    if (riid == IID_IUnknown || riid == IID_ITypeInfo) {
      *object = static_cast<ITypeInfo*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) {
      delete this;
    }
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** attributes) override {
    if (attributes == nullptr) {
      return E_POINTER;
    }
    auto* attr = new (std::nothrow) TYPEATTR{};
    if (attr == nullptr) {
      return E_OUTOFMEMORY;
    }
    const TypeDescription& type = Type();
    attr->guid = type.guid;
    attr->lcid = library_.lcid;
    attr->memidConstructor = MEMBERID_NIL;
    attr->memidDestructor = MEMBERID_NIL;
    attr->wMajorVerNum = library_.major_version;
    attr->wMinorVerNum = library_.minor_version;
    switch (type.kind) {
      case TypeKind::Interface:
        attr->typekind = TKIND_DISPATCH;
        attr->cFuncs = static_cast<WORD>(DispatchMembersOf(type_index_).size());
        attr->cbSizeInstance = sizeof(void*);
        attr->cbSizeVft = static_cast<WORD>(kFirstOwnSlot * sizeof(void*));
        attr->cbAlignment = alignof(void*);
        attr->wTypeFlags = TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;
        break;
      case TypeKind::Enumeration:
        attr->typekind = TKIND_ENUM;
        attr->cVars = static_cast<WORD>(type.values.size());
        attr->cbSizeInstance = sizeof(int32_t);
        attr->cbAlignment = alignof(int32_t);
        break;
      case TypeKind::CoClass:
        attr->typekind = TKIND_COCLASS;
        attr->cImplTypes = 1;
        attr->cbSizeInstance = sizeof(void*);
        attr->cbAlignment = alignof(void*);
        attr->wTypeFlags = TYPEFLAG_FCANCREATE;
        break;
    }
    *attributes = attr;
    return S_OK;
  }

  void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* attributes) override { delete attributes; }

  HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT index, FUNCDESC** description) override {
    if (description == nullptr) {
      return E_POINTER;
    }
    *description = nullptr;
    if (Type().kind != TypeKind::Interface) {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    const auto& members = DispatchMembersOf(type_index_);
    if (index >= members.size()) {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    auto* block = new (std::nothrow) FuncDescBlock{};
    if (block == nullptr) {
      return E_OUTOFMEMORY;
    }
    const Member& member = *members[index].member;
    FUNCDESC& desc = block->desc;
    desc.memid = member.dispid;
    desc.funckind = FUNC_DISPATCH;
    desc.invkind = member.kind == MemberKind::Get   ? INVOKE_PROPERTYGET
                   : member.kind == MemberKind::Put ? INVOKE_PROPERTYPUT
                                                    : INVOKE_FUNC;
    desc.callconv = CC_STDCALL;
    desc.cParams = static_cast<SHORT>(member.param_count);
    desc.oVft = static_cast<SHORT>((kFirstOwnSlot + members[index].slot) * sizeof(void*));
    desc.lprgelemdescParam = member.param_count > 0 ? block->params : nullptr;
    for (std::size_t i = 0; i < member.param_count; ++i) {
      block->params[i].tdesc = TypeDescOf(member.params[i].type, &block->pointees[i]);
      block->params[i].paramdesc.wParamFlags = PARAMFLAG_FIN;
    }
    desc.elemdescFunc.tdesc = TypeDescOf(member.result, &block->pointees[kMaxParams]);
    *description = &block->desc;
    return S_OK;
  }

  void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC* description) override {
    // The FUNCDESC is the first member of its block.
    delete reinterpret_cast<FuncDescBlock*>(description);
  }

  HRESULT STDMETHODCALLTYPE GetVarDesc(UINT index, VARDESC** description) override {
    if (description == nullptr) {
      return E_POINTER;
    }
    *description = nullptr;
    const TypeDescription& type = Type();
    if (type.kind != TypeKind::Enumeration || index >= type.values.size()) {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    auto* block = new (std::nothrow) VarDescBlock{};
    if (block == nullptr) {
      return E_OUTOFMEMORY;
    }
    block->desc.memid = static_cast<MEMBERID>(index);
    block->desc.varkind = VAR_CONST;
    block->desc.elemdescVar.tdesc.vt = VT_I4;
    block->value.vt = VT_I4;
    block->value.lVal = type.values[index].value;
    block->desc.lpvarValue = &block->value;
    *description = &block->desc;
    return S_OK;
  }

  void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC* description) override {
    delete reinterpret_cast<VarDescBlock*>(description);
  }

  HRESULT STDMETHODCALLTYPE GetNames(MEMBERID memid, BSTR* names, UINT max_names,
                                     UINT* count) override {
    if (names == nullptr || count == nullptr) {
      return E_POINTER;
    }
    *count = 0;
    const TypeDescription& type = Type();
    if (type.kind == TypeKind::Enumeration) {
      if (memid < 0 || static_cast<std::size_t>(memid) >= type.values.size()) {
        return TYPE_E_ELEMENTNOTFOUND;
      }
      if (max_names > 0) {
        names[0] = AllocName(type.values[static_cast<std::size_t>(memid)].name);
        *count = 1;
      }
      return S_OK;
    }
    const Member* member = MemberById(memid);
    if (member == nullptr) {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    if (max_names > 0) {
      names[(*count)++] = AllocName(member->name);
    }
    for (const Param& param : member->Params()) {
      if (param.name.empty() || *count >= max_names) {
        break;
      }
      names[(*count)++] = AllocName(param.name);
    }
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT index, HREFTYPE* reference) override {
    if (reference == nullptr) {
      return E_POINTER;
    }
    const TypeDescription& type = Type();
    if (type.kind != TypeKind::CoClass || index != 0) {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    *reference = static_cast<HREFTYPE>(type.default_interface);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT index, INT* flags) override {
    if (flags == nullptr) {
      return E_POINTER;
    }
    if (Type().kind != TypeKind::CoClass || index != 0) {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    *flags = IMPLTYPEFLAG_FDEFAULT;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) override {
    if (Type().kind != TypeKind::Interface) {
      return DISP_E_UNKNOWNNAME;
    }
    return DispatchGetIDsOfNames(type_index_, names, count, ids);
  }

  HRESULT STDMETHODCALLTYPE Invoke(PVOID instance, MEMBERID memid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* argument_error) override {
    if (instance == nullptr) {
      return E_INVALIDARG;
    }
    if (Type().kind != TypeKind::Interface) {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    // The instance is a pointer to this interface (a dual interface starts with IDispatch).
    return DispatchInvoke(type_index_, static_cast<IDispatch*>(instance), memid, IID_NULL, flags,
                          params, result, exception, argument_error);
  }

  HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID memid, BSTR* name, BSTR* doc_string,
                                             DWORD* help_context, BSTR* help_file) override {
    std::string_view found;
    const TypeDescription& type = Type();
    if (memid == MEMBERID_NIL) {
      found = type.name;
    } else if (type.kind == TypeKind::Enumeration) {
      if (memid < 0 || static_cast<std::size_t>(memid) >= type.values.size()) {
        return TYPE_E_ELEMENTNOTFOUND;
      }
      found = type.values[static_cast<std::size_t>(memid)].name;
    } else if (const Member* member = MemberById(memid); member != nullptr) {
      found = member->name;
    } else {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    if (name != nullptr) {
      *name = AllocName(found);
    }
    if (doc_string != nullptr) {
      *doc_string = nullptr;
    }
    if (help_context != nullptr) {
      *help_context = 0;
    }
    if (help_file != nullptr) {
      *help_file = nullptr;
    }
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE reference, ITypeInfo** type_info) override {
    if (type_info == nullptr) {
      return E_POINTER;
    }
    *type_info = nullptr;
    if (reference >= library_.types.size()) {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    return CreateTypeInfo(reference, type_info);
  }

  HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** type_comp) override {
    if (type_comp != nullptr) {
      *type_comp = nullptr;
    }
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID, INVOKEKIND, PVOID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, PVOID* object) override {
    if (object != nullptr) {
      *object = nullptr;
    }
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetMops(MEMBERID, BSTR* mops) override {
    if (mops != nullptr) {
      *mops = nullptr;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** library, UINT* index) override {
    if (library != nullptr) {
      *library = nullptr;
    }
    if (index != nullptr) {
      *index = static_cast<UINT>(type_index_);
    }
    return E_NOTIMPL;
  }

 private:
  [[nodiscard]] const TypeDescription& Type() const { return library_.types[type_index_]; }

  [[nodiscard]] const Member* MemberById(MEMBERID memid) const {
    if (Type().kind != TypeKind::Interface) {
      return nullptr;
    }
    for (const DispatchMember& entry : DispatchMembersOf(type_index_)) {
      if (entry.member->dispid == memid) {
        return entry.member;
      }
    }
    return nullptr;
  }

  const TypeLibrary& library_;
  std::size_t type_index_;
  std::atomic<ULONG> references_{1};
};

}  // namespace

HRESULT CreateTypeInfo(std::size_t type_index, ITypeInfo** type_info) noexcept {
  if (type_info == nullptr) {
    return E_POINTER;
  }
  *type_info = nullptr;
  if (type_index >= LyrTdxPackage880Library().types.size()) {
    return TYPE_E_ELEMENTNOTFOUND;
  }
  *type_info = new (std::nothrow) CTypeInfo(type_index);
  return *type_info != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace lyr::automation
