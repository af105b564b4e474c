"""Late-bound access to the LyrTdxPackage880 automation objects from Python.

    import tdx880
    package = tdx880.Dispatch("LyrTdxPackage880.Tdx880Package")
    package.SafeMode = True
    if not package.Open("/path/to/package.zip"):
        print(package.LastError.Message)

Objects are created by ProgID through liblyrcom (CoCreateInstance) and driven through IDispatch
by member name, as late-binding automation clients drive them; see docs/hosts.md.
"""

import codecs
import ctypes

from . import _com

__all__ = ["ComError", "ComObject", "Dispatch", "bytes_to_text", "text_to_bytes"]

# ITdx880Safe: SafeMode and LastError, implemented beside the default interface.
IID_ITDX880SAFE = _com.GUID.parse("90008B91-1356-4DDA-9BD0-0A9658C1F1F6")

# Members whose BSTR carries bytes (one windows-1251 unit per byte) rather than text.
BINARY_RESULTS = frozenset(["rawcontent", "signaturecontent", "certificatebody"])

# The lossless byte mapping of binary values: windows-1251, with 0x98 (undefined there) as U+0098.
_DECODING_TABLE = "".join(
    "\x98" if value == 0x98 else bytes([value]).decode("cp1251") for value in range(256)
)
_ENCODING_TABLE = codecs.charmap_build(_DECODING_TABLE)


def bytes_to_text(data):
    """The BSTR text that carries data through the byte mapping."""
    return codecs.charmap_decode(bytes(data), "strict", _DECODING_TABLE)[0]


def text_to_bytes(text):
    """The bytes a BSTR of the byte mapping carries (a unit without a byte becomes "?")."""
    return codecs.charmap_encode(text, "replace", _ENCODING_TABLE)[0]


class ComError(Exception):
    """A failed call: hresult (unsigned), description and source from the error information, and
    the member that was called."""

    def __init__(self, hresult, description, member, source=""):
        self.hresult = hresult & 0xFFFFFFFF
        self.description = description
        self.member = member
        self.source = source
        super().__init__(f"{member}: {description or 'failed'} (0x{self.hresult:08X})")


class _Member:
    """One member of a dispatch interface as its type information describes it."""

    __slots__ = ("name", "dispid", "kinds", "get_params", "param_types", "binary")

    def __init__(self, name, dispid):
        self.name = name
        self.dispid = dispid
        self.kinds = 0
        self.get_params = 0
        self.param_types = ()
        self.binary = name.lower() in BINARY_RESULTS


# Members per interface (by the type information's GUID): the table never changes.
_interfaces = {}


def _members_of(dispatch):
    """{lower-case name: _Member} of the interface behind an IDispatch pointer."""
    info = ctypes.c_void_p()
    hr = _com.method(dispatch, _com.GET_TYPE_INFO, _com.HRESULT, ctypes.c_uint32, ctypes.c_uint32,
                     ctypes.POINTER(ctypes.c_void_p))(0, 0, ctypes.byref(info))
    if hr < 0 or not info.value:
        raise ComError(hr, "the object has no type information", "GetTypeInfo")
    try:
        return _read_type_info(info.value)
    finally:
        _com.release(info.value)


def _read_type_info(info):
    call = _com.method
    voidpp = ctypes.POINTER(ctypes.c_void_p)
    attr = ctypes.c_void_p()
    if call(info, _com.TI_GET_TYPE_ATTR, _com.HRESULT, voidpp)(ctypes.byref(attr)) < 0:
        raise ComError(_com.E_NOINTERFACE, "unreadable type information", "GetTypeAttr")
    key = ctypes.string_at(attr.value, 16)
    count = ctypes.c_uint16.from_address(attr.value + _com.TYPEATTR_CFUNCS).value
    call(info, _com.TI_RELEASE_TYPE_ATTR, None, ctypes.c_void_p)(attr.value)
    members = _interfaces.get(key)
    if members is not None:
        return members
    members = {}
    get_names = call(info, _com.TI_GET_NAMES, _com.HRESULT, ctypes.c_int32, voidpp,
                     ctypes.c_uint32, ctypes.POINTER(ctypes.c_uint32))
    for index in range(count):
        desc = ctypes.c_void_p()
        if call(info, _com.TI_GET_FUNC_DESC, _com.HRESULT, ctypes.c_uint32, voidpp)(
                index, ctypes.byref(desc)) < 0:
            continue
        base = desc.value
        dispid = ctypes.c_int32.from_address(base).value
        kind = ctypes.c_int32.from_address(base + _com.FUNCDESC_INVKIND).value
        params = ctypes.c_int16.from_address(base + _com.FUNCDESC_CPARAMS).value
        elements = ctypes.c_void_p.from_address(base + _com.FUNCDESC_PARAMS).value
        types = tuple(
            ctypes.c_uint16.from_address(elements + i * _com.ELEMDESC_SIZE + _com.ELEMDESC_VT).value
            for i in range(params))
        call(info, _com.TI_RELEASE_FUNC_DESC, None, ctypes.c_void_p)(base)
        name = ctypes.c_void_p()
        found = ctypes.c_uint32()
        if get_names(dispid, ctypes.byref(name), 1, ctypes.byref(found)) < 0 or found.value == 0:
            continue
        text = _com.text_from_bstr(name.value)
        _com.SysFreeString(name.value)
        member = members.setdefault(text.lower(), _Member(text, dispid))
        member.kinds |= kind
        if kind in (_com.INVOKE_FUNC, _com.INVOKE_PROPERTYGET):
            member.get_params = params
            member.param_types = types
    _interfaces[key] = members
    return members


def _to_variant(value, target, param_type, member):
    """Fills target (VT_EMPTY) from a Python value; BSTRs and references it holds are released by
    VariantClear."""
    if isinstance(value, ComObject):
        _com.add_ref(value._pointer)
        target.vt = _com.VT_DISPATCH
        target.value.ptr = value._pointer
    elif value is None:
        # A null object for interface parameters, an empty value otherwise.
        target.vt = _com.VT_DISPATCH if param_type == _com.VT_PTR else _com.VT_EMPTY
    elif isinstance(value, bool):
        target.vt = _com.VT_BOOL
        target.value.boolVal = _com.VARIANT_TRUE if value else 0
    elif isinstance(value, int):
        if -(2**31) <= value < 2**31:
            target.vt = _com.VT_I4
            target.value.lVal = value
        elif -(2**63) <= value < 2**63:
            target.vt = _com.VT_I8
            target.value.llVal = value
        else:
            raise OverflowError(f"{member}: {value} does not fit into 64 bits")
    elif isinstance(value, float):
        target.vt = _com.VT_R8
        target.value.dblVal = value
    elif isinstance(value, str):
        target.value.ptr = _com.bstr_from_text(value)
        target.vt = _com.VT_BSTR
    elif isinstance(value, (bytes, bytearray, memoryview)):
        target.value.ptr = _com.bstr_from_text(bytes_to_text(value))
        target.vt = _com.VT_BSTR
    else:
        raise TypeError(f"{member}: cannot pass a {type(value).__name__}")


def _from_variant(variant, binary):
    vt = variant.vt
    value = variant.value
    if vt in (_com.VT_EMPTY, _com.VT_NULL):
        return None
    if vt == _com.VT_BOOL:
        return value.boolVal != 0
    if vt == _com.VT_BSTR:
        text = _com.text_from_bstr(value.ptr)
        return text_to_bytes(text) if binary else text
    if vt in (_com.VT_DISPATCH, _com.VT_UNKNOWN):
        if not value.ptr:
            return None
        if vt == _com.VT_DISPATCH:
            _com.add_ref(value.ptr)
            return ComObject(value.ptr)
        dispatch = _com.query_interface(value.ptr, _com.IID_IDISPATCH)
        return ComObject(dispatch) if dispatch else None
    simple = {
        _com.VT_I1: "cVal", _com.VT_UI1: "bVal", _com.VT_I2: "iVal", _com.VT_UI2: "uiVal",
        _com.VT_I4: "lVal", _com.VT_INT: "lVal", _com.VT_UI4: "ulVal", _com.VT_UINT: "ulVal",
        _com.VT_I8: "llVal", _com.VT_UI8: "ullVal", _com.VT_R4: "fltVal", _com.VT_R8: "dblVal",
        _com.VT_ERROR: "lVal",
    }
    if vt in simple:
        return getattr(value, simple[vt])
    raise TypeError(f"unsupported result type {vt}")


def _invoke(dispatch, member, flags, arguments):
    """IDispatch::Invoke of member with the arguments in their natural order."""
    count = len(arguments)
    variants = (_com.VARIANT * max(count, 1))()
    params = _com.DISPPARAMS()
    named = ctypes.c_int32(_com.DISPID_PROPERTYPUT)
    result = _com.VARIANT()
    excepinfo = _com.EXCEPINFO()
    try:
        # rgvarg holds the arguments last first.
        for position, value in enumerate(arguments):
            param_type = member.param_types[position] if position < len(member.param_types) else 0
            _to_variant(value, variants[count - 1 - position], param_type, member.name)
        params.rgvarg = variants
        params.cArgs = count
        if flags == _com.DISPATCH_PROPERTYPUT:
            params.rgdispidNamedArgs = ctypes.pointer(named)
            params.cNamedArgs = 1
        arg_error = ctypes.c_uint32()
        _com.SetErrorInfo(0, None)
        hr = _com.method(dispatch, _com.INVOKE, _com.HRESULT, ctypes.c_int32,
                         ctypes.POINTER(_com.GUID), ctypes.c_uint32, ctypes.c_uint16,
                         ctypes.POINTER(_com.DISPPARAMS), ctypes.POINTER(_com.VARIANT),
                         ctypes.POINTER(_com.EXCEPINFO), ctypes.POINTER(ctypes.c_uint32))(
            member.dispid, ctypes.byref(_com.IID_NULL), 0, flags, ctypes.byref(params),
            ctypes.byref(result), ctypes.byref(excepinfo), ctypes.byref(arg_error))
        if hr < 0:
            raise _error(hr, excepinfo, member.name)
        return _from_variant(result, member.binary)
    finally:
        for index in range(count):
            _com.VariantClear(ctypes.byref(variants[index]))
        _com.VariantClear(ctypes.byref(result))


def _error(hr, excepinfo, member):
    if hr & 0xFFFFFFFF == _com.DISP_E_EXCEPTION:
        description = _com.text_from_bstr(excepinfo.bstrDescription)
        source = _com.text_from_bstr(excepinfo.bstrSource)
        for bstr in (excepinfo.bstrSource, excepinfo.bstrDescription, excepinfo.bstrHelpFile):
            _com.SysFreeString(bstr)
        _com.SetErrorInfo(0, None)
        return ComError(excepinfo.scode or hr, description, member, source)
    description, source = _com.take_error_info() or ("", "")
    return ComError(hr, description, member, source)


class _BoundMethod:
    """A method of an object, called as obj.Method(arguments)."""

    __slots__ = ("_owner", "_dispatch", "_member")

    def __init__(self, owner, dispatch, member):
        self._owner = owner  # keeps the object alive while the method is held
        self._dispatch = dispatch
        self._member = member

    def __call__(self, *arguments):
        return _invoke(self._dispatch, self._member, _com.DISPATCH_METHOD, arguments)

    def __repr__(self):
        return f"<method {self._member.name} of {self._owner!r}>"


class _IndexedProperty(_BoundMethod):
    """A property read with arguments: obj.Prop[i] or obj.Prop(i)."""

    __slots__ = ()

    def __call__(self, *arguments):
        return _invoke(self._dispatch, self._member, _com.DISPATCH_PROPERTYGET, arguments)

    def __getitem__(self, index):
        return self(*(index if isinstance(index, tuple) else (index,)))


class ComObject:
    """One automation object, holding one reference that is released when the Python object goes.

    Attribute reads and writes become property gets and puts, methods are called by name; a name
    the object's default interface lacks is looked up on its ITdx880Safe interface."""

    __slots__ = ("_pointer", "_members", "_safe", "_safe_members", "__weakref__")

    def __init__(self, pointer):
        # pointer: an IDispatch* whose reference this object takes over.
        object.__setattr__(self, "_pointer", pointer)
        object.__setattr__(self, "_safe", None)
        object.__setattr__(self, "_safe_members", None)
        object.__setattr__(self, "_members", None)
        object.__setattr__(self, "_members", _members_of(pointer))

    def __del__(self, release=_com.release):
        pointer = getattr(self, "_pointer", None)
        safe = getattr(self, "_safe", None)
        if safe:
            release(safe)
        if pointer:
            release(pointer)

    def _find(self, name):
        """(IDispatch pointer, _Member) for a name, in the default interface or ITdx880Safe."""
        key = name.lower()
        member = self._members.get(key)
        if member is not None:
            return self._pointer, member
        if self._safe_members is None:
            safe = _com.query_interface(self._pointer, IID_ITDX880SAFE)
            object.__setattr__(self, "_safe_members", _members_of(safe) if safe else {})
            object.__setattr__(self, "_safe", safe)
        member = self._safe_members.get(key)
        if member is not None:
            return self._safe, member
        raise AttributeError(f"the object has no member {name}")

    def __getattr__(self, name):
        if name.startswith("__"):
            raise AttributeError(name)
        dispatch, member = self._find(name)
        if member.kinds & _com.INVOKE_FUNC:
            return _BoundMethod(self, dispatch, member)
        if member.kinds & _com.INVOKE_PROPERTYGET:
            if member.get_params > 0:
                return _IndexedProperty(self, dispatch, member)
            return _invoke(dispatch, member, _com.DISPATCH_PROPERTYGET, ())
        raise AttributeError(f"{member.name} cannot be read")

    def __setattr__(self, name, value):
        dispatch, member = self._find(name)
        if not member.kinds & _com.INVOKE_PROPERTYPUT:
            raise AttributeError(f"{member.name} cannot be written")
        _invoke(dispatch, member, _com.DISPATCH_PROPERTYPUT, (value,))

    def __dir__(self):
        try:
            self._find("SafeMode")  # reads ITdx880Safe's members when the object has it
        except AttributeError:
            pass
        members = list(self._members.values()) + list((self._safe_members or {}).values())
        return sorted({member.name for member in members})

    def __repr__(self):
        return f"<tdx880.ComObject at 0x{self._pointer:x}>"


def Dispatch(prog_id):  # pylint: disable=invalid-name
    """Creates the object of a class registered under a ProgID (or a braced CLSID)."""
    _com.ensure_apartment()
    clsid = _com.GUID()
    hr = _com.CLSIDFromString(_com.utf16z(prog_id), ctypes.byref(clsid))
    if hr < 0:
        description, source = _com.take_error_info() or (f"{prog_id} is not registered", "")
        raise ComError(hr, description, prog_id, source)
    pointer = ctypes.c_void_p()
    hr = _com.CoCreateInstance(ctypes.byref(clsid), None, _com.CLSCTX_INPROC_SERVER,
                               ctypes.byref(_com.IID_IDISPATCH), ctypes.byref(pointer))
    if hr < 0 or not pointer.value:
        description, source = _com.take_error_info() or ("", "")
        raise ComError(hr, description, prog_id, source)
    return ComObject(pointer.value)
