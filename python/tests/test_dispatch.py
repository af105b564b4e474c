"""Late binding of the real objects: names, properties, child objects, errors, SafeMode, bytes
and lifetime."""

import ctypes
import gc
import os

import pytest

import tdx880

PACKAGE = "LyrTdxPackage880.Tdx880Package"
MISSING = "/nonexistent/package.zip"
OPEN_FAILED = f"Файл с пакетом [{MISSING}] не существует!"


def test_objects_are_created_by_prog_id_and_properties_read_and_written():
    manager = tdx880.Dispatch("LyrTdxPackage880.Tdx880Manager")
    assert manager.TmpDir == os.environ["TMP"]
    manager.tmpdir = "/var/tmp/Папка"  # names compare case-insensitively; text is str
    assert manager.TmpDir == "/var/tmp/Папка"
    assert "CreateTrDekl" in dir(manager) and "SafeMode" in dir(manager)


@pytest.mark.parametrize("prog_id, hresult, description", [
    ("No.Such.Class", 0x800401F3, "No.Such.Class is not registered"),
    ("{00000000-0000-0000-0000-000000000001}", 0x80040154, ""),
])
def test_a_class_that_is_not_registered_raises_com_error(prog_id, hresult, description):
    with pytest.raises(tdx880.ComError) as failure:
        tdx880.Dispatch(prog_id)
    assert (failure.value.hresult, failure.value.member) == (hresult, prog_id)
    assert failure.value.description == description


def test_a_failing_member_raises_com_error_with_the_error_information():
    package = tdx880.Dispatch(PACKAGE)
    with pytest.raises(tdx880.ComError) as failure:
        package.Open(MISSING)
    error = failure.value
    assert (error.hresult, error.member, error.description) == (0x8000FFFF, "Open", OPEN_FAILED)
    assert error.source == PACKAGE
    with pytest.raises(AttributeError, match="no member Opened"):
        package.Opened


def test_safe_mode_keeps_the_error_in_last_error():
    package = tdx880.Dispatch(PACKAGE)
    assert package.SafeMode is False
    package.SafeMode = True
    assert package.Open(MISSING) is False
    assert package.LastError.Message == OPEN_FAILED
    assert package.New("01", "01") is True
    assert package.LastError.Message == ""


def test_children_are_wrapped_and_a_null_object_is_none():
    package = tdx880.Dispatch(PACKAGE)
    package.New("01", "01")
    item = package.AddFile("01", "xml", "a.xml", b"<a/>")
    assert isinstance(item, tdx880.ComObject)
    assert (item.DocTypeCode, item.OriginalFilename) == ("01", "a.xml")
    assert package.GetFileCount() == 1
    assert package.GetFile(0).OriginalFilename == "a.xml"
    assert package.GetFileSignatureCount(0) == 0
    with pytest.raises(tdx880.ComError) as failure:
        package.Encrypt(None)  # a null key
    assert failure.value.description == "Передан пустой аргумент: pKey"


def test_every_byte_value_crosses_unchanged_both_ways():
    every = bytes(range(256)) + bytes(range(255, -1, -1))
    assert tdx880.text_to_bytes(tdx880.bytes_to_text(every)) == every
    package = tdx880.Dispatch(PACKAGE)
    package.New("01", "01")
    item = package.AddFile("01", "xml", "all.bin", every)
    assert item.RawContent == every
    assert isinstance(item.RawContent, bytes) and isinstance(item.FileName, str)


def _can_unload():
    server = ctypes.CDLL(os.environ["LYR_AUTOMATION_SERVER"])
    server.DllCanUnloadNow.restype = ctypes.c_int32
    return server.DllCanUnloadNow()


def test_objects_are_released_with_their_last_python_reference():
    gc.collect()
    assert _can_unload() == 0  # S_OK: no object of the server is alive
    for _ in range(10_000):
        package = tdx880.Dispatch(PACKAGE)
        package.SafeMode = True
        del package
    gc.collect()
    assert _can_unload() == 0
    held = tdx880.Dispatch(PACKAGE).LastError  # the child keeps itself alive, not its parent
    assert _can_unload() == 1  # S_FALSE
    del held
    assert _can_unload() == 0
