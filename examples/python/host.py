#!/usr/bin/env python3
"""A Python host of the automation server (late binding by name): the sender builds a declaration
package, signs it, encrypts it for the receiver and saves it; the receiver reopens it, decrypts it
and verifies the signature and the content.

Usage: host.py SENDER_HOME RECEIVER_HOME OUTBOX

Each home holds the keys of one participant (LYR_TDX_HOME): the sender's own key in "MY" and the
receiver's certificate in "addressbook"; the receiver's key in "MY" and the root and revocation
list of the chain in "ROOT" and "CA". `tdx880 demo --keep DIR` makes two such homes, DIR/abonent
and DIR/tax-authority. The server must be registered (`tdx880 register`).
"""

import os
import sys

import tdx880

NAME = "NO_NDS_7701_7701_7701234567770101001_20261206_PY.xml"
DOCUMENT = ('<?xml version="1.0" encoding="windows-1251"?>\r\n'
            '<Файл ИдФайл="NO_NDS_7701_7701_7701234567770101001_20261206_PY">'
            '<Документ КНД="1151001"/></Файл>\r\n').encode("cp1251")


def send(home, outbox):
    os.environ["LYR_TDX_HOME"] = home
    crypt = tdx880.Dispatch("LyrTdxPackage880.Tdx880Crypt")
    crypt.Init()
    signer, recipient = crypt.GetPrivateKey(0), crypt.GetOpponentKey(0)

    package = tdx880.Dispatch("LyrTdxPackage880.Tdx880Package")
    package.SafeMode = True  # failures answer False and leave their message in LastError

    def check(done):
        if not done:
            raise RuntimeError(package.LastError.Message)

    check(package.New("01", "01"))
    package.SenderIdentifier = "7701234567"
    package.ReceiverIdentifier = "7701"
    check(package.AddFile("01", "xml", NAME, DOCUMENT) is not None)
    check(package.SignFile(NAME, signer))
    check(package.Encrypt(recipient))
    check(package.Save(outbox))
    print(f"sent: {package.FileName}")
    return package.FileName


def receive(home, path):
    os.environ["LYR_TDX_HOME"] = home
    package = tdx880.Dispatch("LyrTdxPackage880.Tdx880Package")
    package.Open(path)  # SafeMode is off: a failure raises tdx880.ComError
    package.Decrypt()
    document = package.GetFile(0)
    if document.RawContent != DOCUMENT:
        raise RuntimeError("the received document differs from the one sent")
    if not document.CheckSignEx(False, True):
        raise RuntimeError(document.LastError.Message)
    signer = package.GetFileSignature(0, 0).SignKey
    print(f'received: {path}, {len(DOCUMENT)} bytes, signature of "{signer.SubjectCN}" valid')


def main():
    if len(sys.argv) != 4:
        print("usage: host.py SENDER_HOME RECEIVER_HOME OUTBOX", file=sys.stderr)
        return 2
    try:
        receive(sys.argv[2], send(sys.argv[1], sys.argv[3]))
    except (tdx880.ComError, RuntimeError) as error:
        print(f"host.py: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
