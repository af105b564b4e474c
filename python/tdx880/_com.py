"""liblyrcom through ctypes: the library, COM memory layouts, BSTRs, VARIANTs and vtable calls.

Every call uses the System V AMD64 convention (liblyrcom's WINAPI and STDMETHODCALLTYPE are
empty), so vtable slots are plain C function pointers taking the interface pointer first.
"""

import ctypes
import os
import threading
import uuid

HRESULT = ctypes.c_int32

S_OK = 0
S_FALSE = 1
DISP_E_EXCEPTION = 0x80020009
DISP_E_UNKNOWNNAME = 0x80020006
E_NOINTERFACE = 0x80004002

CLSCTX_INPROC_SERVER = 0x1
DISPATCH_METHOD = 0x1
DISPATCH_PROPERTYGET = 0x2
DISPATCH_PROPERTYPUT = 0x4
DISPID_PROPERTYPUT = -3

INVOKE_FUNC = 1
INVOKE_PROPERTYGET = 2
INVOKE_PROPERTYPUT = 4

VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_R4, VT_R8 = 0, 1, 2, 3, 4, 5
VT_BSTR, VT_DISPATCH, VT_ERROR, VT_BOOL, VT_VARIANT, VT_UNKNOWN = 8, 9, 10, 11, 12, 13
VT_I1, VT_UI1, VT_UI2, VT_UI4, VT_I8, VT_UI8, VT_INT, VT_UINT = 16, 17, 18, 19, 20, 21, 22, 23
VT_PTR, VT_USERDEFINED = 26, 29
VARIANT_TRUE = -1

# IUnknown, IDispatch and ITypeInfo vtable slots.
QUERY_INTERFACE, ADD_REF, RELEASE = 0, 1, 2
GET_TYPE_INFO, GET_IDS_OF_NAMES, INVOKE = 4, 5, 6
TI_GET_TYPE_ATTR, TI_GET_FUNC_DESC, TI_GET_NAMES = 3, 5, 7
TI_RELEASE_TYPE_ATTR, TI_RELEASE_FUNC_DESC = 19, 20


class GUID(ctypes.Structure):
    _fields_ = [("bytes", ctypes.c_ubyte * 16)]

    @classmethod
    def parse(cls, text):
        return cls.from_buffer_copy(uuid.UUID(text).bytes_le)


IID_NULL = GUID()
IID_IDISPATCH = GUID.parse("00020400-0000-0000-C000-000000000046")


class _VariantValue(ctypes.Union):
    _fields_ = [
        ("llVal", ctypes.c_int64),
        ("ullVal", ctypes.c_uint64),
        ("lVal", ctypes.c_int32),
        ("ulVal", ctypes.c_uint32),
        ("iVal", ctypes.c_int16),
        ("uiVal", ctypes.c_uint16),
        ("cVal", ctypes.c_int8),
        ("bVal", ctypes.c_uint8),
        ("boolVal", ctypes.c_int16),
        ("fltVal", ctypes.c_float),
        ("dblVal", ctypes.c_double),
        ("ptr", ctypes.c_void_p),
        ("raw", ctypes.c_uint64 * 2),
    ]


class VARIANT(ctypes.Structure):
    _fields_ = [
        ("vt", ctypes.c_uint16),
        ("wReserved1", ctypes.c_uint16),
        ("wReserved2", ctypes.c_uint16),
        ("wReserved3", ctypes.c_uint16),
        ("value", _VariantValue),
    ]


class DISPPARAMS(ctypes.Structure):
    _fields_ = [
        ("rgvarg", ctypes.POINTER(VARIANT)),
        ("rgdispidNamedArgs", ctypes.POINTER(ctypes.c_int32)),
        ("cArgs", ctypes.c_uint32),
        ("cNamedArgs", ctypes.c_uint32),
    ]


class EXCEPINFO(ctypes.Structure):
    _fields_ = [
        ("wCode", ctypes.c_uint16),
        ("wReserved", ctypes.c_uint16),
        ("bstrSource", ctypes.c_void_p),
        ("bstrDescription", ctypes.c_void_p),
        ("bstrHelpFile", ctypes.c_void_p),
        ("dwHelpContext", ctypes.c_uint32),
        ("pvReserved", ctypes.c_void_p),
        ("pfnDeferredFillIn", ctypes.c_void_p),
        ("scode", ctypes.c_int32),
    ]


assert ctypes.sizeof(VARIANT) == 24 and ctypes.sizeof(DISPPARAMS) == 24
assert ctypes.sizeof(EXCEPINFO) == 64 and EXCEPINFO.scode.offset == 56

# Offsets in TYPEATTR and FUNCDESC (the 64-bit oaidl.h layouts liblyrcom uses).
TYPEATTR_CFUNCS = 48
FUNCDESC_PARAMS, FUNCDESC_INVKIND, FUNCDESC_CPARAMS = 16, 28, 36
ELEMDESC_SIZE, ELEMDESC_VT = 32, 8


def _package_relative_library():
    """The library beside an installed tree: cmake --install writes where it is."""
    try:
        from . import _install  # pylint: disable=import-outside-toplevel
    except ImportError:
        return None
    return os.path.normpath(os.path.join(os.path.dirname(__file__), _install.LIBRARY))


def load_library():
    """liblyrcom: $LYRCOM_LIBRARY, else the one of the installed tree, else the loader's."""
    explicit = os.environ.get("LYRCOM_LIBRARY")
    if explicit:
        return ctypes.CDLL(explicit)
    beside = _package_relative_library()
    if beside is not None and os.path.exists(beside):
        return ctypes.CDLL(beside)
    return ctypes.CDLL("liblyrcom.so.1")


lib = load_library()


def _declare(name, restype, *argtypes):
    function = getattr(lib, name)
    function.restype = restype
    function.argtypes = list(argtypes)
    return function


CoInitialize = _declare("CoInitialize", HRESULT, ctypes.c_void_p)
CoCreateInstance = _declare(
    "CoCreateInstance",
    HRESULT,
    ctypes.POINTER(GUID),
    ctypes.c_void_p,
    ctypes.c_uint32,
    ctypes.POINTER(GUID),
    ctypes.POINTER(ctypes.c_void_p),
)
CLSIDFromString = _declare("CLSIDFromString", HRESULT, ctypes.c_char_p, ctypes.POINTER(GUID))
SysAllocStringByteLen = _declare(
    "SysAllocStringByteLen", ctypes.c_void_p, ctypes.c_char_p, ctypes.c_uint32
)
SysStringByteLen = _declare("SysStringByteLen", ctypes.c_uint32, ctypes.c_void_p)
SysFreeString = _declare("SysFreeString", None, ctypes.c_void_p)
VariantInit = _declare("VariantInit", None, ctypes.POINTER(VARIANT))
VariantClear = _declare("VariantClear", HRESULT, ctypes.POINTER(VARIANT))
GetErrorInfo = _declare("GetErrorInfo", HRESULT, ctypes.c_uint32, ctypes.POINTER(ctypes.c_void_p))
SetErrorInfo = _declare("SetErrorInfo", HRESULT, ctypes.c_uint32, ctypes.c_void_p)

_thread = threading.local()


def ensure_apartment():
    """Every thread that creates objects enters an apartment once (objects stay in it)."""
    if not getattr(_thread, "initialized", False):
        hr = CoInitialize(None)
        if hr < 0:
            raise OSError(f"CoInitialize failed (0x{hr & 0xFFFFFFFF:08X})")
        _thread.initialized = True


def utf16z(text):
    """A NUL-terminated UTF-16 string for OLECHAR* parameters."""
    return text.encode("utf-16-le", "surrogatepass") + b"\0\0"


def bstr_from_text(text):
    data = text.encode("utf-16-le", "surrogatepass")
    bstr = SysAllocStringByteLen(data, len(data))
    if not bstr:
        raise MemoryError("SysAllocStringByteLen")
    return bstr


def text_from_bstr(bstr):
    if not bstr:
        return ""
    return ctypes.string_at(bstr, SysStringByteLen(bstr)).decode("utf-16-le", "surrogatepass")


_prototypes = {}


def method(pointer, slot, restype, *argtypes):
    """The vtable slot of an interface pointer as a callable taking the remaining arguments."""
    key = (restype,) + argtypes
    prototype = _prototypes.get(key)
    if prototype is None:
        prototype = ctypes.CFUNCTYPE(restype, ctypes.c_void_p, *argtypes)
        _prototypes[key] = prototype
    table = ctypes.cast(pointer, ctypes.POINTER(ctypes.POINTER(ctypes.c_void_p)))[0]
    function = prototype(table[slot])
    return lambda *arguments: function(pointer, *arguments)


def add_ref(pointer):
    method(pointer, ADD_REF, ctypes.c_uint32)()


def release(pointer):
    method(pointer, RELEASE, ctypes.c_uint32)()


def query_interface(pointer, iid):
    """The interface iid of the object, or None when it has none."""
    out = ctypes.c_void_p()
    hr = method(pointer, QUERY_INTERFACE, HRESULT, ctypes.POINTER(GUID), ctypes.POINTER(ctypes.c_void_p))(
        ctypes.byref(iid), ctypes.byref(out)
    )
    return out.value if hr >= 0 and out.value else None


def take_error_info():
    """(description, source) of the thread's error object, which is cleared; None when none."""
    info = ctypes.c_void_p()
    if GetErrorInfo(0, ctypes.byref(info)) != S_OK or not info.value:
        return None
    texts = []
    for slot in (5, 4):  # IErrorInfo::GetDescription, GetSource
        bstr = ctypes.c_void_p()
        method(info.value, slot, HRESULT, ctypes.POINTER(ctypes.c_void_p))(ctypes.byref(bstr))
        texts.append(text_from_bstr(bstr.value))
        SysFreeString(bstr.value)
    release(info.value)
    return texts[0], texts[1]
