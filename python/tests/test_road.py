"""The outgoing and the incoming road through the objects, with the keys of two participants:
the abonent builds, signs, encrypts and saves a package; the tax authority opens, decrypts and
verifies it."""

import os

import tdx880

DECLARATION = ('<?xml version="1.0" encoding="windows-1251"?>\r\n'
               '<Файл ИдФайл="NO_NDS_7701_7701_7701234567770101001_20261206_1"><Документ КНД="1151001"/>'
               '</Файл>\r\n').encode("cp1251")
NAME = "NO_NDS_7701_7701_7701234567770101001_20261206_1.xml"


def _keys(home):
    os.environ["LYR_TDX_HOME"] = home
    crypt = tdx880.Dispatch("LyrTdxPackage880.Tdx880Crypt")
    assert crypt.Init() is True
    return crypt


def test_a_package_goes_from_the_abonent_to_the_tax_authority(homes, tmp_path):
    crypt = _keys(homes["abonent"])
    signer, recipient = crypt.GetPrivateKey(0), crypt.GetOpponentKey(0)
    package = tdx880.Dispatch("LyrTdxPackage880.Tdx880Package")
    assert package.New("01", "01")
    package.SenderIdentifier = "7701234567"
    package.ReceiverIdentifier = "7701"
    package.AddFile("01", "xml", NAME, DECLARATION)
    assert package.SignFile(NAME, signer)
    assert package.Encrypt(recipient)
    assert package.Save(str(tmp_path))
    path = package.FileName
    assert os.path.dirname(path) == str(tmp_path)
    signature = package.GetFileSignature(0, 0).SignatureContent
    assert isinstance(signature, bytes) and signature[:1] == b"\x30"  # DER SEQUENCE

    crypt = _keys(homes["tax-authority"])
    incoming = tdx880.Dispatch("LyrTdxPackage880.Tdx880Package")
    assert incoming.Open(path)
    assert (incoming.SenderIdentifier, incoming.ReceiverIdentifier) == ("7701234567", "7701")
    document = incoming.GetFile(0)
    assert document.IsEncrypted is True
    assert incoming.Decrypt()
    assert document.RawContent == DECLARATION
    assert document.CheckSignEx(False, True) is True
    crypt.CheckSignature(DECLARATION, incoming.GetFileSignature(0, 0).SignatureContent)
    signer_key = incoming.GetFileSignature(0, 0).SignKey
    assert signer_key.CertificateBody == signer.CertificateBody
    assert signer_key.SubjectCN == signer.SubjectCN


def test_a_changed_document_does_not_verify(homes):
    crypt = _keys(homes["abonent"])
    signature = crypt.GetPrivateKey(0)
    package = tdx880.Dispatch("LyrTdxPackage880.Tdx880Package")
    package.New("01", "01")
    package.AddFile("01", "xml", NAME, DECLARATION)
    package.SignFile(NAME, signature)
    content = package.GetFileSignature(0, 0).SignatureContent
    crypt = _keys(homes["tax-authority"])
    try:
        crypt.CheckSignature(DECLARATION + b" ", content)
    except tdx880.ComError as error:
        assert (error.hresult, error.member) == (0x8000FFFF, "CheckSignature")
        assert error.description == (
            "Ошибка при проверке подписи [0x80090006 (-2146893818): Invalid Signature. "
            "error:1700009E:CMS routines::verification failure]")
    else:
        raise AssertionError("a changed document verified")
