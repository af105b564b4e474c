/* LyrTdxPackage880 type library: the automation interfaces of libLyrTdxPackage880.so for C and C++ hosts.
 * Generated from the server's type library table by lyr_tlbgen; do not edit. */
#ifndef LYR_TDX880_LYRTDXPACKAGE880_H
#define LYR_TDX880_LYRTDXPACKAGE880_H

#include "lyr/com/com.h"

/* LyrTdxPackage880 [KORAL], version 1.2, locale 0x0409. */
static const GUID LIBID_LyrTdxPackage880 = {0xAA0FF614, 0x3F4E, 0x40BB, {0x85, 0xB0, 0xF2, 0x0E, 0x1D, 0x00, 0xC0, 0x88}};
#define LyrTdxPackage880MajorVersion 1
#define LyrTdxPackage880MinorVersion 2

/* Enumerations (32-bit values). */
#ifdef __cplusplus
typedef enum SIGN_ROLE_TYPES : int32_t {
#else
typedef enum SIGN_ROLE_TYPES {
#endif
  SIGN_ROLE_TYPE_UNKNOWN = 0,
  SIGN_ROLE_TYPE_ABONENT = 1,
  SIGN_ROLE_TYPE_TDX = 2,
  SIGN_ROLE_TYPE_SOS = 3,
  SIGN_ROLE_TYPE_FCOD = 4
} SIGN_ROLE_TYPES;
#ifdef __cplusplus
typedef enum DEKL_KIND_TYPES : int32_t {
#else
typedef enum DEKL_KIND_TYPES {
#endif
  DEKL_KIND_TYPE_NONE = 0,
  DEKL_KIND_TYPE_PRIMARY = 1,
  DEKL_KIND_TYPE_CORRECTION = 2
} DEKL_KIND_TYPES;

/* Interface and class identifiers. */
static const GUID IID_ITdx880Package = {0xC6D9A689, 0x9648, 0x4A74, {0x85, 0xF2, 0x46, 0xA9, 0xB1, 0x78, 0xBE, 0xA7}};
static const GUID IID_ITdx880Safe = {0x90008B91, 0x1356, 0x4DDA, {0x9B, 0xD0, 0x0A, 0x96, 0x58, 0xC1, 0xF1, 0xF6}};
static const GUID IID_ITdx880File = {0xBD5EA140, 0x2E55, 0x4D35, {0x9B, 0xD8, 0xA3, 0x11, 0xD0, 0x68, 0x2E, 0xB5}};
static const GUID IID_ITdx880Signature = {0xB16076F0, 0x9C33, 0x4439, {0x86, 0x7D, 0x00, 0x1A, 0x65, 0x87, 0x53, 0xC5}};
static const GUID GUID_SIGN_ROLE_TYPES = {0x53F3F751, 0x85EF, 0x468A, {0x91, 0x7E, 0xBB, 0x94, 0xE0, 0xFA, 0xA8, 0x20}};
static const GUID IID_ITdx880Crypt = {0x832FBB37, 0x47AE, 0x4C6F, {0xBB, 0x30, 0x91, 0xE7, 0x14, 0xAD, 0x48, 0x5F}};
static const GUID CLSID_Tdx880Crypt = {0x9A52E891, 0xEE92, 0x4C54, {0x92, 0x4B, 0x18, 0x3F, 0xD3, 0xEE, 0x36, 0x84}};
static const GUID IID_ITdx880Key = {0x5FBB8735, 0xBD1A, 0x420C, {0xB6, 0xFC, 0x78, 0x0A, 0x7C, 0x10, 0x11, 0x40}};
static const GUID IID_ITdx880Manager = {0x987CD7D7, 0x8B2C, 0x40A4, {0xB4, 0x24, 0x4B, 0xC9, 0x88, 0x1C, 0x79, 0x86}};
static const GUID IID_ITdx880Subject = {0x6809E6D6, 0xF447, 0x41D3, {0xBE, 0x91, 0x4E, 0x52, 0x59, 0x9A, 0xE7, 0x9F}};
static const GUID IID_ITdx880SubjectUL = {0x50B07D90, 0x51F4, 0x42CB, {0x81, 0xE9, 0x54, 0x14, 0xB5, 0x64, 0xA3, 0xC2}};
static const GUID IID_ITdx880SubjectFL = {0xDFB43552, 0x4F24, 0x4B23, {0xBD, 0xBF, 0x1C, 0x45, 0xBA, 0x82, 0x1D, 0x5C}};
static const GUID IID_ITdx880SubjectNO = {0x8B23689F, 0xCC2E, 0x4385, {0xAC, 0x55, 0xF5, 0x85, 0x5B, 0xD9, 0x5B, 0x66}};
static const GUID IID_ITdx880SubjectSOS = {0x74D7BC98, 0x91B2, 0x468B, {0xBA, 0x6C, 0xC2, 0x05, 0xA5, 0x06, 0x41, 0x4C}};
static const GUID CLSID_Tdx880Manager = {0x07F3DBA0, 0x549F, 0x4D11, {0x9E, 0x3B, 0xC0, 0xF6, 0x8E, 0x51, 0x5D, 0xF0}};
static const GUID IID_ITdx880SpecDoc = {0x5FFC6240, 0xD460, 0x4B6C, {0xBD, 0x20, 0x26, 0x69, 0xA9, 0xE5, 0x65, 0x27}};
static const GUID IID_ITdx880TrDekl = {0xDFE098A8, 0xB00B, 0x45F4, {0x84, 0xA3, 0x50, 0x25, 0xC6, 0xC6, 0xD1, 0xAA}};
static const GUID GUID_DEKL_KIND_TYPES = {0xA4E86E65, 0xF36C, 0x4A99, {0x8B, 0x2C, 0x91, 0x06, 0x31, 0x88, 0x5C, 0xA0}};
static const GUID CLSID_Tdx880Package = {0xE475C70D, 0x5FC7, 0x4854, {0x8C, 0xC1, 0x00, 0x21, 0xC3, 0x21, 0x8D, 0xAD}};
static const GUID IID_ITdx880Error = {0x12D6C47C, 0x1F00, 0x4E86, {0x9F, 0x60, 0x75, 0x0C, 0x41, 0x60, 0xE8, 0x72}};

typedef struct ITdx880Package ITdx880Package;
typedef struct ITdx880Safe ITdx880Safe;
typedef struct ITdx880File ITdx880File;
typedef struct ITdx880Signature ITdx880Signature;
typedef struct ITdx880Crypt ITdx880Crypt;
typedef struct ITdx880Key ITdx880Key;
typedef struct ITdx880Manager ITdx880Manager;
typedef struct ITdx880Subject ITdx880Subject;
typedef struct ITdx880SubjectUL ITdx880SubjectUL;
typedef struct ITdx880SubjectFL ITdx880SubjectFL;
typedef struct ITdx880SubjectNO ITdx880SubjectNO;
typedef struct ITdx880SubjectSOS ITdx880SubjectSOS;
typedef struct ITdx880SpecDoc ITdx880SpecDoc;
typedef struct ITdx880TrDekl ITdx880TrDekl;
typedef struct ITdx880Error ITdx880Error;

#ifdef __cplusplus

/* C++: abstract classes whose vtables are the COM vtables: IUnknown, IDispatch, then the members
 * in slot order. */
struct ITdx880Package : public IDispatch {
  /* DISPID 201 */
  virtual HRESULT STDMETHODCALLTYPE New(BSTR wsThreadTypeCode, BSTR wsTransactTypeCode, VARIANT_BOOL* bResult) = 0;
  /* DISPID 202 */
  virtual HRESULT STDMETHODCALLTYPE Open(BSTR wsFilename, VARIANT_BOOL* bResult) = 0;
  /* DISPID 203 */
  virtual HRESULT STDMETHODCALLTYPE Close(VARIANT_BOOL* bResult) = 0;
  /* DISPID 204 */
  virtual HRESULT STDMETHODCALLTYPE Save(BSTR wsPath, VARIANT_BOOL* bResult) = 0;
  /* DISPID 205 */
  virtual HRESULT STDMETHODCALLTYPE Encrypt(ITdx880Key* pKey, VARIANT_BOOL* bResult) = 0;
  /* DISPID 206 */
  virtual HRESULT STDMETHODCALLTYPE Decrypt(VARIANT_BOOL* bResult) = 0;
  /* DISPID 207 */
  virtual HRESULT STDMETHODCALLTYPE AddFile(BSTR wsDocTypeCode, BSTR wsContentType, BSTR wsFilename, BSTR wsContent, ITdx880File** pResult) = 0;
  /* DISPID 208 */
  virtual HRESULT STDMETHODCALLTYPE GetFileCount(LONG* iResult) = 0;
  /* DISPID 209 */
  virtual HRESULT STDMETHODCALLTYPE GetFile(LONG iIndex, ITdx880File** pResult) = 0;
  /* DISPID 210 */
  virtual HRESULT STDMETHODCALLTYPE IsOpened(VARIANT_BOOL* bResult) = 0;
  /* DISPID 211 */
  virtual HRESULT STDMETHODCALLTYPE SignFile(BSTR wsFilename, ITdx880Key* pKey, VARIANT_BOOL* bResult) = 0;
  /* DISPID 213 */
  virtual HRESULT STDMETHODCALLTYPE GetFileSignatureCount(LONG iIndex, LONG* iResult) = 0;
  /* DISPID 214 */
  virtual HRESULT STDMETHODCALLTYPE GetFileSignature(LONG iFileIndex, LONG iSignIndex, ITdx880Signature** pResult) = 0;
  /* DISPID 217 */
  virtual HRESULT STDMETHODCALLTYPE get_IsEncrypted(VARIANT_BOOL* Value) = 0;
  /* DISPID 218 */
  virtual HRESULT STDMETHODCALLTYPE get_SenderType(SIGN_ROLE_TYPES* Value) = 0;
  /* DISPID 219 */
  virtual HRESULT STDMETHODCALLTYPE get_SenderIdentifier(BSTR* Value) = 0;
  /* DISPID 219 */
  virtual HRESULT STDMETHODCALLTYPE put_SenderIdentifier(BSTR Value) = 0;
  /* DISPID 220 */
  virtual HRESULT STDMETHODCALLTYPE get_ReceiverType(SIGN_ROLE_TYPES* Value) = 0;
  /* DISPID 221 */
  virtual HRESULT STDMETHODCALLTYPE get_ReceiverIdentifier(BSTR* Value) = 0;
  /* DISPID 221 */
  virtual HRESULT STDMETHODCALLTYPE put_ReceiverIdentifier(BSTR Value) = 0;
  /* DISPID 223 */
  virtual HRESULT STDMETHODCALLTYPE DeleteFile(LONG iFileIndex, VARIANT_BOOL* bResult) = 0;
  /* DISPID 224 */
  virtual HRESULT STDMETHODCALLTYPE DeleteFileSignatures(LONG iFileIndex, VARIANT_BOOL* bResult) = 0;
  /* DISPID 226 */
  virtual HRESULT STDMETHODCALLTYPE EncryptByCertificate(BSTR wsCertBody, VARIANT_BOOL* bResult) = 0;
  /* DISPID 227 */
  virtual HRESULT STDMETHODCALLTYPE get_FlagUsageUserStorage(VARIANT_BOOL* Value) = 0;
  /* DISPID 227 */
  virtual HRESULT STDMETHODCALLTYPE put_FlagUsageUserStorage(VARIANT_BOOL Value) = 0;
  /* DISPID 222 */
  virtual HRESULT STDMETHODCALLTYPE get_ThreadType(BSTR* Value) = 0;
  /* DISPID 228 */
  virtual HRESULT STDMETHODCALLTYPE get_ThreadTypeCode(BSTR* Value) = 0;
  /* DISPID 229 */
  virtual HRESULT STDMETHODCALLTYPE get_TransactType(BSTR* Value) = 0;
  /* DISPID 230 */
  virtual HRESULT STDMETHODCALLTYPE get_TransactTypeCode(BSTR* Value) = 0;
  /* DISPID 231 */
  virtual HRESULT STDMETHODCALLTYPE get_ThreadCode(BSTR* Value) = 0;
  /* DISPID 231 */
  virtual HRESULT STDMETHODCALLTYPE put_ThreadCode(BSTR Value) = 0;
  /* DISPID 232 */
  virtual HRESULT STDMETHODCALLTYPE get_FileName(BSTR* Value) = 0;
  /* DISPID 233 */
  virtual HRESULT STDMETHODCALLTYPE get_SOSIdentifier(BSTR* Value) = 0;
  /* DISPID 233 */
  virtual HRESULT STDMETHODCALLTYPE put_SOSIdentifier(BSTR Value) = 0;
  /* DISPID 212 */
  virtual HRESULT STDMETHODCALLTYPE AddSpecDoc(ITdx880SpecDoc* pSpecDoc, ITdx880File** pResult) = 0;
  /* DISPID 215 */
  virtual HRESULT STDMETHODCALLTYPE get_PackageDescriptionContent(BSTR* Value) = 0;
  /* DISPID 216 */
  virtual HRESULT STDMETHODCALLTYPE get_IsLoaded(VARIANT_BOOL* Value) = 0;
  /* DISPID 225 */
  virtual HRESULT STDMETHODCALLTYPE get_IsReaded(VARIANT_BOOL* Value) = 0;
  /* DISPID 232 */
  virtual HRESULT STDMETHODCALLTYPE put_FileName(BSTR Value) = 0;
  /* DISPID 234 */
  virtual HRESULT STDMETHODCALLTYPE GetMainFile(ITdx880File** pFile) = 0;
  /* DISPID 235 */
  virtual HRESULT STDMETHODCALLTYPE get_TmpDir(BSTR* Value) = 0;
  /* DISPID 235 */
  virtual HRESULT STDMETHODCALLTYPE put_TmpDir(BSTR Value) = 0;
};

struct ITdx880Safe : public IDispatch {
  /* DISPID 201 */
  virtual HRESULT STDMETHODCALLTYPE get_SafeMode(VARIANT_BOOL* Value) = 0;
  /* DISPID 201 */
  virtual HRESULT STDMETHODCALLTYPE put_SafeMode(VARIANT_BOOL Value) = 0;
  /* DISPID 202 */
  virtual HRESULT STDMETHODCALLTYPE get_LastError(ITdx880Error** Value) = 0;
};

struct ITdx880File : public IDispatch {
  /* DISPID 201 */
  virtual HRESULT STDMETHODCALLTYPE get_DocType(BSTR* Value) = 0;
  /* DISPID 202 */
  virtual HRESULT STDMETHODCALLTYPE get_DocTypeCode(BSTR* Value) = 0;
  /* DISPID 202 */
  virtual HRESULT STDMETHODCALLTYPE put_DocTypeCode(BSTR Value) = 0;
  /* DISPID 203 */
  virtual HRESULT STDMETHODCALLTYPE get_ContentType(BSTR* Value) = 0;
  /* DISPID 203 */
  virtual HRESULT STDMETHODCALLTYPE put_ContentType(BSTR Value) = 0;
  /* DISPID 204 */
  virtual HRESULT STDMETHODCALLTYPE get_IsCompressed(VARIANT_BOOL* Value) = 0;
  /* DISPID 205 */
  virtual HRESULT STDMETHODCALLTYPE get_IsEncrypted(VARIANT_BOOL* Value) = 0;
  /* DISPID 206 */
  virtual HRESULT STDMETHODCALLTYPE get_DocumentCode(BSTR* Value) = 0;
  /* DISPID 206 */
  virtual HRESULT STDMETHODCALLTYPE put_DocumentCode(BSTR Value) = 0;
  /* DISPID 207 */
  virtual HRESULT STDMETHODCALLTYPE get_OriginalFilename(BSTR* Value) = 0;
  /* DISPID 207 */
  virtual HRESULT STDMETHODCALLTYPE put_OriginalFilename(BSTR Value) = 0;
  /* DISPID 208 */
  virtual HRESULT STDMETHODCALLTYPE get_FileName(BSTR* Value) = 0;
  /* DISPID 208 */
  virtual HRESULT STDMETHODCALLTYPE put_FileName(BSTR Value) = 0;
  /* DISPID 209 */
  virtual HRESULT STDMETHODCALLTYPE CheckSign(VARIANT_BOOL* bResult) = 0;
  /* DISPID 210 */
  virtual HRESULT STDMETHODCALLTYPE Sign(ITdx880Key* pKey, VARIANT_BOOL* bResult) = 0;
  /* DISPID 212 */
  virtual HRESULT STDMETHODCALLTYPE get_RawContent(BSTR* Value) = 0;
  /* DISPID 213 */
  virtual HRESULT STDMETHODCALLTYPE CheckSignEx(VARIANT_BOOL bDownloadContent, VARIANT_BOOL bCheckCRL, VARIANT_BOOL* bResult) = 0;
  /* DISPID 214 */
  virtual HRESULT STDMETHODCALLTYPE AddSign(BSTR wsSignatureContent, SIGN_ROLE_TYPES enRole, VARIANT_BOOL* bResult) = 0;
};

struct ITdx880Signature : public IDispatch {
  /* DISPID 201 */
  virtual HRESULT STDMETHODCALLTYPE get_FileName(BSTR* Value) = 0;
  /* DISPID 201 */
  virtual HRESULT STDMETHODCALLTYPE put_FileName(BSTR Value) = 0;
  /* DISPID 202 */
  virtual HRESULT STDMETHODCALLTYPE get_SignKey(ITdx880Key** Value) = 0;
  /* DISPID 204 */
  virtual HRESULT STDMETHODCALLTYPE get_SignatureContent(BSTR* Value) = 0;
};

struct ITdx880Crypt : public IDispatch {
  /* DISPID 201 */
  virtual HRESULT STDMETHODCALLTYPE Init(VARIANT_BOOL* bResult) = 0;
  /* DISPID 202 */
  virtual HRESULT STDMETHODCALLTYPE GetPrivateKeyCount(LONG* iResult) = 0;
  /* DISPID 203 */
  virtual HRESULT STDMETHODCALLTYPE GetPrivateKey(LONG iIndex, ITdx880Key** pResult) = 0;
  /* DISPID 205 */
  virtual HRESULT STDMETHODCALLTYPE GetOpponentKeyCount(LONG* iResult) = 0;
  /* DISPID 206 */
  virtual HRESULT STDMETHODCALLTYPE GetOpponentKey(LONG iIndex, ITdx880Key** pResult) = 0;
  /* DISPID 208 */
  virtual HRESULT STDMETHODCALLTYPE ImportP7BChain(BSTR wsP7BFileContent) = 0;
  /* DISPID 209 */
  virtual HRESULT STDMETHODCALLTYPE ImportOpponentCertificate(BSTR wsCertificateBody, ITdx880Key** pResult) = 0;
  /* DISPID 210 */
  virtual HRESULT STDMETHODCALLTYPE ImportPrivateCertificate(BSTR wsCertificateBody, BSTR wsContainerName, ITdx880Key** pResult) = 0;
  /* DISPID 204 */
  virtual HRESULT STDMETHODCALLTYPE CheckSignature(BSTR wsContent, BSTR wsSignature) = 0;
  /* DISPID 207 */
  virtual HRESULT STDMETHODCALLTYPE GetContainerCount(LONG* iResult) = 0;
  /* DISPID 211 */
  virtual HRESULT STDMETHODCALLTYPE GetContainer(LONG iIndex, BSTR* wsResult) = 0;
  /* DISPID 212 */
  virtual HRESULT STDMETHODCALLTYPE GetOpponentKeyBySha1(BSTR wsSha1, ITdx880Key** pResult) = 0;
  /* DISPID 213 */
  virtual HRESULT STDMETHODCALLTYPE GetPrivateKeyBySha1(BSTR wsSha1, ITdx880Key** pResult) = 0;
  /* DISPID 214 */
  virtual HRESULT STDMETHODCALLTYPE IsCryptographyOk(VARIANT_BOOL* bResult) = 0;
  /* DISPID 215 */
  virtual HRESULT STDMETHODCALLTYPE get_FlagUsageUserStorage(VARIANT_BOOL* Value) = 0;
  /* DISPID 215 */
  virtual HRESULT STDMETHODCALLTYPE put_FlagUsageUserStorage(VARIANT_BOOL Value) = 0;
};

struct ITdx880Key : public IDispatch {
  /* DISPID 201 */
  virtual HRESULT STDMETHODCALLTYPE get_ContainerName(BSTR* Value) = 0;
  /* DISPID 201 */
  virtual HRESULT STDMETHODCALLTYPE put_ContainerName(BSTR Value) = 0;
  /* DISPID 202 */
  virtual HRESULT STDMETHODCALLTYPE get_Sha1(BSTR* Value) = 0;
  /* DISPID 202 */
  virtual HRESULT STDMETHODCALLTYPE put_Sha1(BSTR Value) = 0;
  /* DISPID 203 */
  virtual HRESULT STDMETHODCALLTYPE get_SubjectCN(BSTR* Value) = 0;
  /* DISPID 203 */
  virtual HRESULT STDMETHODCALLTYPE put_SubjectCN(BSTR Value) = 0;
  /* DISPID 204 */
  virtual HRESULT STDMETHODCALLTYPE get_SignRole(SIGN_ROLE_TYPES* Value) = 0;
  /* DISPID 204 */
  virtual HRESULT STDMETHODCALLTYPE put_SignRole(SIGN_ROLE_TYPES Value) = 0;
  /* DISPID 205 */
  virtual HRESULT STDMETHODCALLTYPE get_CertificateBody(BSTR* Value) = 0;
  /* DISPID 205 */
  virtual HRESULT STDMETHODCALLTYPE put_CertificateBody(BSTR Value) = 0;
};

struct ITdx880Manager : public IDispatch {
  /* DISPID 201 */
  virtual HRESULT STDMETHODCALLTYPE CreateSubjectUL(ITdx880SubjectUL** pResult) = 0;
  /* DISPID 202 */
  virtual HRESULT STDMETHODCALLTYPE CreateSubjectFL(ITdx880SubjectFL** pResult) = 0;
  /* DISPID 203 */
  virtual HRESULT STDMETHODCALLTYPE CreateSubjectNO(ITdx880SubjectNO** pResult) = 0;
  /* DISPID 204 */
  virtual HRESULT STDMETHODCALLTYPE CreateSubjectSOS(ITdx880SubjectSOS** pResult) = 0;
  /* DISPID 205 */
  virtual HRESULT STDMETHODCALLTYPE CreateIPPackage(ITdx880Package* pPackage, ITdx880Subject* pCorroborant, ITdx880Subject* pSender, ITdx880Subject* pReceiver, ITdx880Package** pResult) = 0;
  /* DISPID 206 */
  virtual HRESULT STDMETHODCALLTYPE CreatePackageByEmail(BSTR wsEmailBody, ITdx880Package** pResult) = 0;
  /* DISPID 207 */
  virtual HRESULT STDMETHODCALLTYPE CreateEmailByPackage(ITdx880Package* pPackage, BSTR wsSenderEmail, BSTR wsReceiverEmail, BSTR* wsResult) = 0;
  /* DISPID 208 */
  virtual HRESULT STDMETHODCALLTYPE CreateTrDekl(ITdx880TrDekl** pResult) = 0;
  /* DISPID 209 */
  virtual HRESULT STDMETHODCALLTYPE CreateErrorPackage(ITdx880Package* pPackage, BSTR wsTrSosh, ITdx880Package** pResult) = 0;
  /* DISPID 210 */
  virtual HRESULT STDMETHODCALLTYPE get_TmpDir(BSTR* Value) = 0;
  /* DISPID 210 */
  virtual HRESULT STDMETHODCALLTYPE put_TmpDir(BSTR Value) = 0;
  /* DISPID 211 */
  virtual HRESULT STDMETHODCALLTYPE CreateErrorPackageEx(ITdx880Package* pPackage, BSTR wsSenderIdentifier, SIGN_ROLE_TYPES enSenderType, BSTR wsReceiverIdentifier, SIGN_ROLE_TYPES enReceiverType, BSTR wsTrSosh, ITdx880Package** pResult) = 0;
};

struct ITdx880Subject : public IDispatch {
  /* DISPID 201 */
  virtual HRESULT STDMETHODCALLTYPE get_Indentifier(BSTR* Value) = 0;
  /* DISPID 201 */
  virtual HRESULT STDMETHODCALLTYPE put_Indentifier(BSTR Value) = 0;
  /* DISPID 202 */
  virtual HRESULT STDMETHODCALLTYPE get_Email(BSTR* Value) = 0;
  /* DISPID 202 */
  virtual HRESULT STDMETHODCALLTYPE put_Email(BSTR Value) = 0;
};

struct ITdx880SubjectUL : public ITdx880Subject {
  /* DISPID 301 */
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* Value) = 0;
  /* DISPID 301 */
  virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR Value) = 0;
  /* DISPID 302 */
  virtual HRESULT STDMETHODCALLTYPE get_Inn(BSTR* Value) = 0;
  /* DISPID 302 */
  virtual HRESULT STDMETHODCALLTYPE put_Inn(BSTR Value) = 0;
  /* DISPID 303 */
  virtual HRESULT STDMETHODCALLTYPE get_Kpp(BSTR* Value) = 0;
  /* DISPID 303 */
  virtual HRESULT STDMETHODCALLTYPE put_Kpp(BSTR Value) = 0;
};

struct ITdx880SubjectFL : public ITdx880Subject {
  /* DISPID 301 */
  virtual HRESULT STDMETHODCALLTYPE get_LName(BSTR* Value) = 0;
  /* DISPID 301 */
  virtual HRESULT STDMETHODCALLTYPE put_LName(BSTR Value) = 0;
  /* DISPID 302 */
  virtual HRESULT STDMETHODCALLTYPE get_FName(BSTR* Value) = 0;
  /* DISPID 302 */
  virtual HRESULT STDMETHODCALLTYPE put_FName(BSTR Value) = 0;
  /* DISPID 303 */
  virtual HRESULT STDMETHODCALLTYPE get_MName(BSTR* Value) = 0;
  /* DISPID 303 */
  virtual HRESULT STDMETHODCALLTYPE put_MName(BSTR Value) = 0;
  /* DISPID 304 */
  virtual HRESULT STDMETHODCALLTYPE get_Inn(BSTR* Value) = 0;
  /* DISPID 304 */
  virtual HRESULT STDMETHODCALLTYPE put_Inn(BSTR Value) = 0;
  /* DISPID 305 */
  virtual HRESULT STDMETHODCALLTYPE get_FIO(BSTR* Value) = 0;
  /* DISPID 305 */
  virtual HRESULT STDMETHODCALLTYPE put_FIO(BSTR Value) = 0;
};

struct ITdx880SubjectNO : public ITdx880Subject {
};

struct ITdx880SubjectSOS : public ITdx880Subject {
  /* DISPID 301 */
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* Value) = 0;
  /* DISPID 301 */
  virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR Value) = 0;
};

struct ITdx880SpecDoc : public IDispatch {
  /* DISPID 201 */
  virtual HRESULT STDMETHODCALLTYPE get_XML(BSTR* Value) = 0;
  /* DISPID 201 */
  virtual HRESULT STDMETHODCALLTYPE put_XML(BSTR Value) = 0;
};

struct ITdx880TrDekl : public ITdx880SpecDoc {
  /* DISPID 301 */
  virtual HRESULT STDMETHODCALLTYPE get_FormName(BSTR* Value) = 0;
  /* DISPID 301 */
  virtual HRESULT STDMETHODCALLTYPE put_FormName(BSTR Value) = 0;
  /* DISPID 302 */
  virtual HRESULT STDMETHODCALLTYPE get_FormKnd(BSTR* Value) = 0;
  /* DISPID 302 */
  virtual HRESULT STDMETHODCALLTYPE put_FormKnd(BSTR Value) = 0;
  /* DISPID 303 */
  virtual HRESULT STDMETHODCALLTYPE get_DeklKind(DEKL_KIND_TYPES* Value) = 0;
  /* DISPID 303 */
  virtual HRESULT STDMETHODCALLTYPE put_DeklKind(DEKL_KIND_TYPES Value) = 0;
  /* DISPID 304 */
  virtual HRESULT STDMETHODCALLTYPE get_Year(BSTR* Value) = 0;
  /* DISPID 304 */
  virtual HRESULT STDMETHODCALLTYPE put_Year(BSTR Value) = 0;
  /* DISPID 305 */
  virtual HRESULT STDMETHODCALLTYPE get_PeriodCode(BSTR* Value) = 0;
  /* DISPID 305 */
  virtual HRESULT STDMETHODCALLTYPE put_PeriodCode(BSTR Value) = 0;
  /* DISPID 306 */
  virtual HRESULT STDMETHODCALLTYPE get_SonoAccount(BSTR* Value) = 0;
  /* DISPID 306 */
  virtual HRESULT STDMETHODCALLTYPE put_SonoAccount(BSTR Value) = 0;
  /* DISPID 307 */
  virtual HRESULT STDMETHODCALLTYPE get_SonoSituation(BSTR* Value) = 0;
  /* DISPID 307 */
  virtual HRESULT STDMETHODCALLTYPE put_SonoSituation(BSTR Value) = 0;
};

struct ITdx880Error : public IDispatch {
  /* DISPID 201 */
  virtual HRESULT STDMETHODCALLTYPE get_Code(LONG* Value) = 0;
  /* DISPID 201 */
  virtual HRESULT STDMETHODCALLTYPE put_Code(LONG Value) = 0;
  /* DISPID 202 */
  virtual HRESULT STDMETHODCALLTYPE get_Message(BSTR* Value) = 0;
  /* DISPID 202 */
  virtual HRESULT STDMETHODCALLTYPE put_Message(BSTR Value) = 0;
};

#else /* C */

/* C: each interface is a struct whose first member points at its vtable. */
typedef struct ITdx880PackageVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(ITdx880Package* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(ITdx880Package* This);
  ULONG(STDMETHODCALLTYPE* Release)(ITdx880Package* This);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(ITdx880Package* This, UINT* pctinfo);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(ITdx880Package* This, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(ITdx880Package* This, REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId);
  HRESULT(STDMETHODCALLTYPE* Invoke)(ITdx880Package* This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
  HRESULT(STDMETHODCALLTYPE* New)(ITdx880Package* This, BSTR wsThreadTypeCode, BSTR wsTransactTypeCode, VARIANT_BOOL* bResult);
  HRESULT(STDMETHODCALLTYPE* Open)(ITdx880Package* This, BSTR wsFilename, VARIANT_BOOL* bResult);
  HRESULT(STDMETHODCALLTYPE* Close)(ITdx880Package* This, VARIANT_BOOL* bResult);
  HRESULT(STDMETHODCALLTYPE* Save)(ITdx880Package* This, BSTR wsPath, VARIANT_BOOL* bResult);
  HRESULT(STDMETHODCALLTYPE* Encrypt)(ITdx880Package* This, ITdx880Key* pKey, VARIANT_BOOL* bResult);
  HRESULT(STDMETHODCALLTYPE* Decrypt)(ITdx880Package* This, VARIANT_BOOL* bResult);
  HRESULT(STDMETHODCALLTYPE* AddFile)(ITdx880Package* This, BSTR wsDocTypeCode, BSTR wsContentType, BSTR wsFilename, BSTR wsContent, ITdx880File** pResult);
  HRESULT(STDMETHODCALLTYPE* GetFileCount)(ITdx880Package* This, LONG* iResult);
  HRESULT(STDMETHODCALLTYPE* GetFile)(ITdx880Package* This, LONG iIndex, ITdx880File** pResult);
  HRESULT(STDMETHODCALLTYPE* IsOpened)(ITdx880Package* This, VARIANT_BOOL* bResult);
  HRESULT(STDMETHODCALLTYPE* SignFile)(ITdx880Package* This, BSTR wsFilename, ITdx880Key* pKey, VARIANT_BOOL* bResult);
  HRESULT(STDMETHODCALLTYPE* GetFileSignatureCount)(ITdx880Package* This, LONG iIndex, LONG* iResult);
  HRESULT(STDMETHODCALLTYPE* GetFileSignature)(ITdx880Package* This, LONG iFileIndex, LONG iSignIndex, ITdx880Signature** pResult);
  HRESULT(STDMETHODCALLTYPE* get_IsEncrypted)(ITdx880Package* This, VARIANT_BOOL* Value);
  HRESULT(STDMETHODCALLTYPE* get_SenderType)(ITdx880Package* This, SIGN_ROLE_TYPES* Value);
  HRESULT(STDMETHODCALLTYPE* get_SenderIdentifier)(ITdx880Package* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_SenderIdentifier)(ITdx880Package* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_ReceiverType)(ITdx880Package* This, SIGN_ROLE_TYPES* Value);
  HRESULT(STDMETHODCALLTYPE* get_ReceiverIdentifier)(ITdx880Package* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_ReceiverIdentifier)(ITdx880Package* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* DeleteFile)(ITdx880Package* This, LONG iFileIndex, VARIANT_BOOL* bResult);
  HRESULT(STDMETHODCALLTYPE* DeleteFileSignatures)(ITdx880Package* This, LONG iFileIndex, VARIANT_BOOL* bResult);
  HRESULT(STDMETHODCALLTYPE* EncryptByCertificate)(ITdx880Package* This, BSTR wsCertBody, VARIANT_BOOL* bResult);
  HRESULT(STDMETHODCALLTYPE* get_FlagUsageUserStorage)(ITdx880Package* This, VARIANT_BOOL* Value);
  HRESULT(STDMETHODCALLTYPE* put_FlagUsageUserStorage)(ITdx880Package* This, VARIANT_BOOL Value);
  HRESULT(STDMETHODCALLTYPE* get_ThreadType)(ITdx880Package* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* get_ThreadTypeCode)(ITdx880Package* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* get_TransactType)(ITdx880Package* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* get_TransactTypeCode)(ITdx880Package* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* get_ThreadCode)(ITdx880Package* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_ThreadCode)(ITdx880Package* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_FileName)(ITdx880Package* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* get_SOSIdentifier)(ITdx880Package* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_SOSIdentifier)(ITdx880Package* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* AddSpecDoc)(ITdx880Package* This, ITdx880SpecDoc* pSpecDoc, ITdx880File** pResult);
  HRESULT(STDMETHODCALLTYPE* get_PackageDescriptionContent)(ITdx880Package* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* get_IsLoaded)(ITdx880Package* This, VARIANT_BOOL* Value);
  HRESULT(STDMETHODCALLTYPE* get_IsReaded)(ITdx880Package* This, VARIANT_BOOL* Value);
  HRESULT(STDMETHODCALLTYPE* put_FileName)(ITdx880Package* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* GetMainFile)(ITdx880Package* This, ITdx880File** pFile);
  HRESULT(STDMETHODCALLTYPE* get_TmpDir)(ITdx880Package* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_TmpDir)(ITdx880Package* This, BSTR Value);
} ITdx880PackageVtbl;
struct ITdx880Package {
  const struct ITdx880PackageVtbl* lpVtbl;
};
#define ITdx880Package_QueryInterface(This, riid, ppvObject) ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define ITdx880Package_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define ITdx880Package_Release(This) ((This)->lpVtbl->Release((This)))
#define ITdx880Package_New(This, wsThreadTypeCode, wsTransactTypeCode, bResult) ((This)->lpVtbl->New((This), (wsThreadTypeCode), (wsTransactTypeCode), (bResult)))
#define ITdx880Package_Open(This, wsFilename, bResult) ((This)->lpVtbl->Open((This), (wsFilename), (bResult)))
#define ITdx880Package_Close(This, bResult) ((This)->lpVtbl->Close((This), (bResult)))
#define ITdx880Package_Save(This, wsPath, bResult) ((This)->lpVtbl->Save((This), (wsPath), (bResult)))
#define ITdx880Package_Encrypt(This, pKey, bResult) ((This)->lpVtbl->Encrypt((This), (pKey), (bResult)))
#define ITdx880Package_Decrypt(This, bResult) ((This)->lpVtbl->Decrypt((This), (bResult)))
#define ITdx880Package_AddFile(This, wsDocTypeCode, wsContentType, wsFilename, wsContent, pResult) ((This)->lpVtbl->AddFile((This), (wsDocTypeCode), (wsContentType), (wsFilename), (wsContent), (pResult)))
#define ITdx880Package_GetFileCount(This, iResult) ((This)->lpVtbl->GetFileCount((This), (iResult)))
#define ITdx880Package_GetFile(This, iIndex, pResult) ((This)->lpVtbl->GetFile((This), (iIndex), (pResult)))
#define ITdx880Package_IsOpened(This, bResult) ((This)->lpVtbl->IsOpened((This), (bResult)))
#define ITdx880Package_SignFile(This, wsFilename, pKey, bResult) ((This)->lpVtbl->SignFile((This), (wsFilename), (pKey), (bResult)))
#define ITdx880Package_GetFileSignatureCount(This, iIndex, iResult) ((This)->lpVtbl->GetFileSignatureCount((This), (iIndex), (iResult)))
#define ITdx880Package_GetFileSignature(This, iFileIndex, iSignIndex, pResult) ((This)->lpVtbl->GetFileSignature((This), (iFileIndex), (iSignIndex), (pResult)))
#define ITdx880Package_get_IsEncrypted(This, Value) ((This)->lpVtbl->get_IsEncrypted((This), (Value)))
#define ITdx880Package_get_SenderType(This, Value) ((This)->lpVtbl->get_SenderType((This), (Value)))
#define ITdx880Package_get_SenderIdentifier(This, Value) ((This)->lpVtbl->get_SenderIdentifier((This), (Value)))
#define ITdx880Package_put_SenderIdentifier(This, Value) ((This)->lpVtbl->put_SenderIdentifier((This), (Value)))
#define ITdx880Package_get_ReceiverType(This, Value) ((This)->lpVtbl->get_ReceiverType((This), (Value)))
#define ITdx880Package_get_ReceiverIdentifier(This, Value) ((This)->lpVtbl->get_ReceiverIdentifier((This), (Value)))
#define ITdx880Package_put_ReceiverIdentifier(This, Value) ((This)->lpVtbl->put_ReceiverIdentifier((This), (Value)))
#define ITdx880Package_DeleteFile(This, iFileIndex, bResult) ((This)->lpVtbl->DeleteFile((This), (iFileIndex), (bResult)))
#define ITdx880Package_DeleteFileSignatures(This, iFileIndex, bResult) ((This)->lpVtbl->DeleteFileSignatures((This), (iFileIndex), (bResult)))
#define ITdx880Package_EncryptByCertificate(This, wsCertBody, bResult) ((This)->lpVtbl->EncryptByCertificate((This), (wsCertBody), (bResult)))
#define ITdx880Package_get_FlagUsageUserStorage(This, Value) ((This)->lpVtbl->get_FlagUsageUserStorage((This), (Value)))
#define ITdx880Package_put_FlagUsageUserStorage(This, Value) ((This)->lpVtbl->put_FlagUsageUserStorage((This), (Value)))
#define ITdx880Package_get_ThreadType(This, Value) ((This)->lpVtbl->get_ThreadType((This), (Value)))
#define ITdx880Package_get_ThreadTypeCode(This, Value) ((This)->lpVtbl->get_ThreadTypeCode((This), (Value)))
#define ITdx880Package_get_TransactType(This, Value) ((This)->lpVtbl->get_TransactType((This), (Value)))
#define ITdx880Package_get_TransactTypeCode(This, Value) ((This)->lpVtbl->get_TransactTypeCode((This), (Value)))
#define ITdx880Package_get_ThreadCode(This, Value) ((This)->lpVtbl->get_ThreadCode((This), (Value)))
#define ITdx880Package_put_ThreadCode(This, Value) ((This)->lpVtbl->put_ThreadCode((This), (Value)))
#define ITdx880Package_get_FileName(This, Value) ((This)->lpVtbl->get_FileName((This), (Value)))
#define ITdx880Package_get_SOSIdentifier(This, Value) ((This)->lpVtbl->get_SOSIdentifier((This), (Value)))
#define ITdx880Package_put_SOSIdentifier(This, Value) ((This)->lpVtbl->put_SOSIdentifier((This), (Value)))
#define ITdx880Package_AddSpecDoc(This, pSpecDoc, pResult) ((This)->lpVtbl->AddSpecDoc((This), (pSpecDoc), (pResult)))
#define ITdx880Package_get_PackageDescriptionContent(This, Value) ((This)->lpVtbl->get_PackageDescriptionContent((This), (Value)))
#define ITdx880Package_get_IsLoaded(This, Value) ((This)->lpVtbl->get_IsLoaded((This), (Value)))
#define ITdx880Package_get_IsReaded(This, Value) ((This)->lpVtbl->get_IsReaded((This), (Value)))
#define ITdx880Package_put_FileName(This, Value) ((This)->lpVtbl->put_FileName((This), (Value)))
#define ITdx880Package_GetMainFile(This, pFile) ((This)->lpVtbl->GetMainFile((This), (pFile)))
#define ITdx880Package_get_TmpDir(This, Value) ((This)->lpVtbl->get_TmpDir((This), (Value)))
#define ITdx880Package_put_TmpDir(This, Value) ((This)->lpVtbl->put_TmpDir((This), (Value)))

typedef struct ITdx880SafeVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(ITdx880Safe* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(ITdx880Safe* This);
  ULONG(STDMETHODCALLTYPE* Release)(ITdx880Safe* This);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(ITdx880Safe* This, UINT* pctinfo);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(ITdx880Safe* This, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(ITdx880Safe* This, REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId);
  HRESULT(STDMETHODCALLTYPE* Invoke)(ITdx880Safe* This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
  HRESULT(STDMETHODCALLTYPE* get_SafeMode)(ITdx880Safe* This, VARIANT_BOOL* Value);
  HRESULT(STDMETHODCALLTYPE* put_SafeMode)(ITdx880Safe* This, VARIANT_BOOL Value);
  HRESULT(STDMETHODCALLTYPE* get_LastError)(ITdx880Safe* This, ITdx880Error** Value);
} ITdx880SafeVtbl;
struct ITdx880Safe {
  const struct ITdx880SafeVtbl* lpVtbl;
};
#define ITdx880Safe_QueryInterface(This, riid, ppvObject) ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define ITdx880Safe_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define ITdx880Safe_Release(This) ((This)->lpVtbl->Release((This)))
#define ITdx880Safe_get_SafeMode(This, Value) ((This)->lpVtbl->get_SafeMode((This), (Value)))
#define ITdx880Safe_put_SafeMode(This, Value) ((This)->lpVtbl->put_SafeMode((This), (Value)))
#define ITdx880Safe_get_LastError(This, Value) ((This)->lpVtbl->get_LastError((This), (Value)))

typedef struct ITdx880FileVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(ITdx880File* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(ITdx880File* This);
  ULONG(STDMETHODCALLTYPE* Release)(ITdx880File* This);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(ITdx880File* This, UINT* pctinfo);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(ITdx880File* This, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(ITdx880File* This, REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId);
  HRESULT(STDMETHODCALLTYPE* Invoke)(ITdx880File* This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
  HRESULT(STDMETHODCALLTYPE* get_DocType)(ITdx880File* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* get_DocTypeCode)(ITdx880File* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_DocTypeCode)(ITdx880File* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_ContentType)(ITdx880File* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_ContentType)(ITdx880File* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_IsCompressed)(ITdx880File* This, VARIANT_BOOL* Value);
  HRESULT(STDMETHODCALLTYPE* get_IsEncrypted)(ITdx880File* This, VARIANT_BOOL* Value);
  HRESULT(STDMETHODCALLTYPE* get_DocumentCode)(ITdx880File* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_DocumentCode)(ITdx880File* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_OriginalFilename)(ITdx880File* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_OriginalFilename)(ITdx880File* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_FileName)(ITdx880File* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_FileName)(ITdx880File* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* CheckSign)(ITdx880File* This, VARIANT_BOOL* bResult);
  HRESULT(STDMETHODCALLTYPE* Sign)(ITdx880File* This, ITdx880Key* pKey, VARIANT_BOOL* bResult);
  HRESULT(STDMETHODCALLTYPE* get_RawContent)(ITdx880File* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* CheckSignEx)(ITdx880File* This, VARIANT_BOOL bDownloadContent, VARIANT_BOOL bCheckCRL, VARIANT_BOOL* bResult);
  HRESULT(STDMETHODCALLTYPE* AddSign)(ITdx880File* This, BSTR wsSignatureContent, SIGN_ROLE_TYPES enRole, VARIANT_BOOL* bResult);
} ITdx880FileVtbl;
struct ITdx880File {
  const struct ITdx880FileVtbl* lpVtbl;
};
#define ITdx880File_QueryInterface(This, riid, ppvObject) ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define ITdx880File_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define ITdx880File_Release(This) ((This)->lpVtbl->Release((This)))
#define ITdx880File_get_DocType(This, Value) ((This)->lpVtbl->get_DocType((This), (Value)))
#define ITdx880File_get_DocTypeCode(This, Value) ((This)->lpVtbl->get_DocTypeCode((This), (Value)))
#define ITdx880File_put_DocTypeCode(This, Value) ((This)->lpVtbl->put_DocTypeCode((This), (Value)))
#define ITdx880File_get_ContentType(This, Value) ((This)->lpVtbl->get_ContentType((This), (Value)))
#define ITdx880File_put_ContentType(This, Value) ((This)->lpVtbl->put_ContentType((This), (Value)))
#define ITdx880File_get_IsCompressed(This, Value) ((This)->lpVtbl->get_IsCompressed((This), (Value)))
#define ITdx880File_get_IsEncrypted(This, Value) ((This)->lpVtbl->get_IsEncrypted((This), (Value)))
#define ITdx880File_get_DocumentCode(This, Value) ((This)->lpVtbl->get_DocumentCode((This), (Value)))
#define ITdx880File_put_DocumentCode(This, Value) ((This)->lpVtbl->put_DocumentCode((This), (Value)))
#define ITdx880File_get_OriginalFilename(This, Value) ((This)->lpVtbl->get_OriginalFilename((This), (Value)))
#define ITdx880File_put_OriginalFilename(This, Value) ((This)->lpVtbl->put_OriginalFilename((This), (Value)))
#define ITdx880File_get_FileName(This, Value) ((This)->lpVtbl->get_FileName((This), (Value)))
#define ITdx880File_put_FileName(This, Value) ((This)->lpVtbl->put_FileName((This), (Value)))
#define ITdx880File_CheckSign(This, bResult) ((This)->lpVtbl->CheckSign((This), (bResult)))
#define ITdx880File_Sign(This, pKey, bResult) ((This)->lpVtbl->Sign((This), (pKey), (bResult)))
#define ITdx880File_get_RawContent(This, Value) ((This)->lpVtbl->get_RawContent((This), (Value)))
#define ITdx880File_CheckSignEx(This, bDownloadContent, bCheckCRL, bResult) ((This)->lpVtbl->CheckSignEx((This), (bDownloadContent), (bCheckCRL), (bResult)))
#define ITdx880File_AddSign(This, wsSignatureContent, enRole, bResult) ((This)->lpVtbl->AddSign((This), (wsSignatureContent), (enRole), (bResult)))

typedef struct ITdx880SignatureVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(ITdx880Signature* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(ITdx880Signature* This);
  ULONG(STDMETHODCALLTYPE* Release)(ITdx880Signature* This);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(ITdx880Signature* This, UINT* pctinfo);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(ITdx880Signature* This, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(ITdx880Signature* This, REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId);
  HRESULT(STDMETHODCALLTYPE* Invoke)(ITdx880Signature* This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
  HRESULT(STDMETHODCALLTYPE* get_FileName)(ITdx880Signature* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_FileName)(ITdx880Signature* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_SignKey)(ITdx880Signature* This, ITdx880Key** Value);
  HRESULT(STDMETHODCALLTYPE* get_SignatureContent)(ITdx880Signature* This, BSTR* Value);
} ITdx880SignatureVtbl;
struct ITdx880Signature {
  const struct ITdx880SignatureVtbl* lpVtbl;
};
#define ITdx880Signature_QueryInterface(This, riid, ppvObject) ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define ITdx880Signature_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define ITdx880Signature_Release(This) ((This)->lpVtbl->Release((This)))
#define ITdx880Signature_get_FileName(This, Value) ((This)->lpVtbl->get_FileName((This), (Value)))
#define ITdx880Signature_put_FileName(This, Value) ((This)->lpVtbl->put_FileName((This), (Value)))
#define ITdx880Signature_get_SignKey(This, Value) ((This)->lpVtbl->get_SignKey((This), (Value)))
#define ITdx880Signature_get_SignatureContent(This, Value) ((This)->lpVtbl->get_SignatureContent((This), (Value)))

typedef struct ITdx880CryptVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(ITdx880Crypt* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(ITdx880Crypt* This);
  ULONG(STDMETHODCALLTYPE* Release)(ITdx880Crypt* This);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(ITdx880Crypt* This, UINT* pctinfo);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(ITdx880Crypt* This, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(ITdx880Crypt* This, REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId);
  HRESULT(STDMETHODCALLTYPE* Invoke)(ITdx880Crypt* This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
  HRESULT(STDMETHODCALLTYPE* Init)(ITdx880Crypt* This, VARIANT_BOOL* bResult);
  HRESULT(STDMETHODCALLTYPE* GetPrivateKeyCount)(ITdx880Crypt* This, LONG* iResult);
  HRESULT(STDMETHODCALLTYPE* GetPrivateKey)(ITdx880Crypt* This, LONG iIndex, ITdx880Key** pResult);
  HRESULT(STDMETHODCALLTYPE* GetOpponentKeyCount)(ITdx880Crypt* This, LONG* iResult);
  HRESULT(STDMETHODCALLTYPE* GetOpponentKey)(ITdx880Crypt* This, LONG iIndex, ITdx880Key** pResult);
  HRESULT(STDMETHODCALLTYPE* ImportP7BChain)(ITdx880Crypt* This, BSTR wsP7BFileContent);
  HRESULT(STDMETHODCALLTYPE* ImportOpponentCertificate)(ITdx880Crypt* This, BSTR wsCertificateBody, ITdx880Key** pResult);
  HRESULT(STDMETHODCALLTYPE* ImportPrivateCertificate)(ITdx880Crypt* This, BSTR wsCertificateBody, BSTR wsContainerName, ITdx880Key** pResult);
  HRESULT(STDMETHODCALLTYPE* CheckSignature)(ITdx880Crypt* This, BSTR wsContent, BSTR wsSignature);
  HRESULT(STDMETHODCALLTYPE* GetContainerCount)(ITdx880Crypt* This, LONG* iResult);
  HRESULT(STDMETHODCALLTYPE* GetContainer)(ITdx880Crypt* This, LONG iIndex, BSTR* wsResult);
  HRESULT(STDMETHODCALLTYPE* GetOpponentKeyBySha1)(ITdx880Crypt* This, BSTR wsSha1, ITdx880Key** pResult);
  HRESULT(STDMETHODCALLTYPE* GetPrivateKeyBySha1)(ITdx880Crypt* This, BSTR wsSha1, ITdx880Key** pResult);
  HRESULT(STDMETHODCALLTYPE* IsCryptographyOk)(ITdx880Crypt* This, VARIANT_BOOL* bResult);
  HRESULT(STDMETHODCALLTYPE* get_FlagUsageUserStorage)(ITdx880Crypt* This, VARIANT_BOOL* Value);
  HRESULT(STDMETHODCALLTYPE* put_FlagUsageUserStorage)(ITdx880Crypt* This, VARIANT_BOOL Value);
} ITdx880CryptVtbl;
struct ITdx880Crypt {
  const struct ITdx880CryptVtbl* lpVtbl;
};
#define ITdx880Crypt_QueryInterface(This, riid, ppvObject) ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define ITdx880Crypt_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define ITdx880Crypt_Release(This) ((This)->lpVtbl->Release((This)))
#define ITdx880Crypt_Init(This, bResult) ((This)->lpVtbl->Init((This), (bResult)))
#define ITdx880Crypt_GetPrivateKeyCount(This, iResult) ((This)->lpVtbl->GetPrivateKeyCount((This), (iResult)))
#define ITdx880Crypt_GetPrivateKey(This, iIndex, pResult) ((This)->lpVtbl->GetPrivateKey((This), (iIndex), (pResult)))
#define ITdx880Crypt_GetOpponentKeyCount(This, iResult) ((This)->lpVtbl->GetOpponentKeyCount((This), (iResult)))
#define ITdx880Crypt_GetOpponentKey(This, iIndex, pResult) ((This)->lpVtbl->GetOpponentKey((This), (iIndex), (pResult)))
#define ITdx880Crypt_ImportP7BChain(This, wsP7BFileContent) ((This)->lpVtbl->ImportP7BChain((This), (wsP7BFileContent)))
#define ITdx880Crypt_ImportOpponentCertificate(This, wsCertificateBody, pResult) ((This)->lpVtbl->ImportOpponentCertificate((This), (wsCertificateBody), (pResult)))
#define ITdx880Crypt_ImportPrivateCertificate(This, wsCertificateBody, wsContainerName, pResult) ((This)->lpVtbl->ImportPrivateCertificate((This), (wsCertificateBody), (wsContainerName), (pResult)))
#define ITdx880Crypt_CheckSignature(This, wsContent, wsSignature) ((This)->lpVtbl->CheckSignature((This), (wsContent), (wsSignature)))
#define ITdx880Crypt_GetContainerCount(This, iResult) ((This)->lpVtbl->GetContainerCount((This), (iResult)))
#define ITdx880Crypt_GetContainer(This, iIndex, wsResult) ((This)->lpVtbl->GetContainer((This), (iIndex), (wsResult)))
#define ITdx880Crypt_GetOpponentKeyBySha1(This, wsSha1, pResult) ((This)->lpVtbl->GetOpponentKeyBySha1((This), (wsSha1), (pResult)))
#define ITdx880Crypt_GetPrivateKeyBySha1(This, wsSha1, pResult) ((This)->lpVtbl->GetPrivateKeyBySha1((This), (wsSha1), (pResult)))
#define ITdx880Crypt_IsCryptographyOk(This, bResult) ((This)->lpVtbl->IsCryptographyOk((This), (bResult)))
#define ITdx880Crypt_get_FlagUsageUserStorage(This, Value) ((This)->lpVtbl->get_FlagUsageUserStorage((This), (Value)))
#define ITdx880Crypt_put_FlagUsageUserStorage(This, Value) ((This)->lpVtbl->put_FlagUsageUserStorage((This), (Value)))

typedef struct ITdx880KeyVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(ITdx880Key* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(ITdx880Key* This);
  ULONG(STDMETHODCALLTYPE* Release)(ITdx880Key* This);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(ITdx880Key* This, UINT* pctinfo);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(ITdx880Key* This, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(ITdx880Key* This, REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId);
  HRESULT(STDMETHODCALLTYPE* Invoke)(ITdx880Key* This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
  HRESULT(STDMETHODCALLTYPE* get_ContainerName)(ITdx880Key* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_ContainerName)(ITdx880Key* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_Sha1)(ITdx880Key* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_Sha1)(ITdx880Key* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_SubjectCN)(ITdx880Key* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_SubjectCN)(ITdx880Key* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_SignRole)(ITdx880Key* This, SIGN_ROLE_TYPES* Value);
  HRESULT(STDMETHODCALLTYPE* put_SignRole)(ITdx880Key* This, SIGN_ROLE_TYPES Value);
  HRESULT(STDMETHODCALLTYPE* get_CertificateBody)(ITdx880Key* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_CertificateBody)(ITdx880Key* This, BSTR Value);
} ITdx880KeyVtbl;
struct ITdx880Key {
  const struct ITdx880KeyVtbl* lpVtbl;
};
#define ITdx880Key_QueryInterface(This, riid, ppvObject) ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define ITdx880Key_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define ITdx880Key_Release(This) ((This)->lpVtbl->Release((This)))
#define ITdx880Key_get_ContainerName(This, Value) ((This)->lpVtbl->get_ContainerName((This), (Value)))
#define ITdx880Key_put_ContainerName(This, Value) ((This)->lpVtbl->put_ContainerName((This), (Value)))
#define ITdx880Key_get_Sha1(This, Value) ((This)->lpVtbl->get_Sha1((This), (Value)))
#define ITdx880Key_put_Sha1(This, Value) ((This)->lpVtbl->put_Sha1((This), (Value)))
#define ITdx880Key_get_SubjectCN(This, Value) ((This)->lpVtbl->get_SubjectCN((This), (Value)))
#define ITdx880Key_put_SubjectCN(This, Value) ((This)->lpVtbl->put_SubjectCN((This), (Value)))
#define ITdx880Key_get_SignRole(This, Value) ((This)->lpVtbl->get_SignRole((This), (Value)))
#define ITdx880Key_put_SignRole(This, Value) ((This)->lpVtbl->put_SignRole((This), (Value)))
#define ITdx880Key_get_CertificateBody(This, Value) ((This)->lpVtbl->get_CertificateBody((This), (Value)))
#define ITdx880Key_put_CertificateBody(This, Value) ((This)->lpVtbl->put_CertificateBody((This), (Value)))

typedef struct ITdx880ManagerVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(ITdx880Manager* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(ITdx880Manager* This);
  ULONG(STDMETHODCALLTYPE* Release)(ITdx880Manager* This);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(ITdx880Manager* This, UINT* pctinfo);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(ITdx880Manager* This, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(ITdx880Manager* This, REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId);
  HRESULT(STDMETHODCALLTYPE* Invoke)(ITdx880Manager* This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
  HRESULT(STDMETHODCALLTYPE* CreateSubjectUL)(ITdx880Manager* This, ITdx880SubjectUL** pResult);
  HRESULT(STDMETHODCALLTYPE* CreateSubjectFL)(ITdx880Manager* This, ITdx880SubjectFL** pResult);
  HRESULT(STDMETHODCALLTYPE* CreateSubjectNO)(ITdx880Manager* This, ITdx880SubjectNO** pResult);
  HRESULT(STDMETHODCALLTYPE* CreateSubjectSOS)(ITdx880Manager* This, ITdx880SubjectSOS** pResult);
  HRESULT(STDMETHODCALLTYPE* CreateIPPackage)(ITdx880Manager* This, ITdx880Package* pPackage, ITdx880Subject* pCorroborant, ITdx880Subject* pSender, ITdx880Subject* pReceiver, ITdx880Package** pResult);
  HRESULT(STDMETHODCALLTYPE* CreatePackageByEmail)(ITdx880Manager* This, BSTR wsEmailBody, ITdx880Package** pResult);
  HRESULT(STDMETHODCALLTYPE* CreateEmailByPackage)(ITdx880Manager* This, ITdx880Package* pPackage, BSTR wsSenderEmail, BSTR wsReceiverEmail, BSTR* wsResult);
  HRESULT(STDMETHODCALLTYPE* CreateTrDekl)(ITdx880Manager* This, ITdx880TrDekl** pResult);
  HRESULT(STDMETHODCALLTYPE* CreateErrorPackage)(ITdx880Manager* This, ITdx880Package* pPackage, BSTR wsTrSosh, ITdx880Package** pResult);
  HRESULT(STDMETHODCALLTYPE* get_TmpDir)(ITdx880Manager* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_TmpDir)(ITdx880Manager* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* CreateErrorPackageEx)(ITdx880Manager* This, ITdx880Package* pPackage, BSTR wsSenderIdentifier, SIGN_ROLE_TYPES enSenderType, BSTR wsReceiverIdentifier, SIGN_ROLE_TYPES enReceiverType, BSTR wsTrSosh, ITdx880Package** pResult);
} ITdx880ManagerVtbl;
struct ITdx880Manager {
  const struct ITdx880ManagerVtbl* lpVtbl;
};
#define ITdx880Manager_QueryInterface(This, riid, ppvObject) ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define ITdx880Manager_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define ITdx880Manager_Release(This) ((This)->lpVtbl->Release((This)))
#define ITdx880Manager_CreateSubjectUL(This, pResult) ((This)->lpVtbl->CreateSubjectUL((This), (pResult)))
#define ITdx880Manager_CreateSubjectFL(This, pResult) ((This)->lpVtbl->CreateSubjectFL((This), (pResult)))
#define ITdx880Manager_CreateSubjectNO(This, pResult) ((This)->lpVtbl->CreateSubjectNO((This), (pResult)))
#define ITdx880Manager_CreateSubjectSOS(This, pResult) ((This)->lpVtbl->CreateSubjectSOS((This), (pResult)))
#define ITdx880Manager_CreateIPPackage(This, pPackage, pCorroborant, pSender, pReceiver, pResult) ((This)->lpVtbl->CreateIPPackage((This), (pPackage), (pCorroborant), (pSender), (pReceiver), (pResult)))
#define ITdx880Manager_CreatePackageByEmail(This, wsEmailBody, pResult) ((This)->lpVtbl->CreatePackageByEmail((This), (wsEmailBody), (pResult)))
#define ITdx880Manager_CreateEmailByPackage(This, pPackage, wsSenderEmail, wsReceiverEmail, wsResult) ((This)->lpVtbl->CreateEmailByPackage((This), (pPackage), (wsSenderEmail), (wsReceiverEmail), (wsResult)))
#define ITdx880Manager_CreateTrDekl(This, pResult) ((This)->lpVtbl->CreateTrDekl((This), (pResult)))
#define ITdx880Manager_CreateErrorPackage(This, pPackage, wsTrSosh, pResult) ((This)->lpVtbl->CreateErrorPackage((This), (pPackage), (wsTrSosh), (pResult)))
#define ITdx880Manager_get_TmpDir(This, Value) ((This)->lpVtbl->get_TmpDir((This), (Value)))
#define ITdx880Manager_put_TmpDir(This, Value) ((This)->lpVtbl->put_TmpDir((This), (Value)))
#define ITdx880Manager_CreateErrorPackageEx(This, pPackage, wsSenderIdentifier, enSenderType, wsReceiverIdentifier, enReceiverType, wsTrSosh, pResult) ((This)->lpVtbl->CreateErrorPackageEx((This), (pPackage), (wsSenderIdentifier), (enSenderType), (wsReceiverIdentifier), (enReceiverType), (wsTrSosh), (pResult)))

typedef struct ITdx880SubjectVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(ITdx880Subject* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(ITdx880Subject* This);
  ULONG(STDMETHODCALLTYPE* Release)(ITdx880Subject* This);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(ITdx880Subject* This, UINT* pctinfo);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(ITdx880Subject* This, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(ITdx880Subject* This, REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId);
  HRESULT(STDMETHODCALLTYPE* Invoke)(ITdx880Subject* This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
  HRESULT(STDMETHODCALLTYPE* get_Indentifier)(ITdx880Subject* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_Indentifier)(ITdx880Subject* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_Email)(ITdx880Subject* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_Email)(ITdx880Subject* This, BSTR Value);
} ITdx880SubjectVtbl;
struct ITdx880Subject {
  const struct ITdx880SubjectVtbl* lpVtbl;
};
#define ITdx880Subject_QueryInterface(This, riid, ppvObject) ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define ITdx880Subject_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define ITdx880Subject_Release(This) ((This)->lpVtbl->Release((This)))
#define ITdx880Subject_get_Indentifier(This, Value) ((This)->lpVtbl->get_Indentifier((This), (Value)))
#define ITdx880Subject_put_Indentifier(This, Value) ((This)->lpVtbl->put_Indentifier((This), (Value)))
#define ITdx880Subject_get_Email(This, Value) ((This)->lpVtbl->get_Email((This), (Value)))
#define ITdx880Subject_put_Email(This, Value) ((This)->lpVtbl->put_Email((This), (Value)))

typedef struct ITdx880SubjectULVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(ITdx880SubjectUL* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(ITdx880SubjectUL* This);
  ULONG(STDMETHODCALLTYPE* Release)(ITdx880SubjectUL* This);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(ITdx880SubjectUL* This, UINT* pctinfo);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(ITdx880SubjectUL* This, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(ITdx880SubjectUL* This, REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId);
  HRESULT(STDMETHODCALLTYPE* Invoke)(ITdx880SubjectUL* This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
  HRESULT(STDMETHODCALLTYPE* get_Indentifier)(ITdx880SubjectUL* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_Indentifier)(ITdx880SubjectUL* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_Email)(ITdx880SubjectUL* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_Email)(ITdx880SubjectUL* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_Name)(ITdx880SubjectUL* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_Name)(ITdx880SubjectUL* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_Inn)(ITdx880SubjectUL* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_Inn)(ITdx880SubjectUL* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_Kpp)(ITdx880SubjectUL* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_Kpp)(ITdx880SubjectUL* This, BSTR Value);
} ITdx880SubjectULVtbl;
struct ITdx880SubjectUL {
  const struct ITdx880SubjectULVtbl* lpVtbl;
};
#define ITdx880SubjectUL_QueryInterface(This, riid, ppvObject) ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define ITdx880SubjectUL_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define ITdx880SubjectUL_Release(This) ((This)->lpVtbl->Release((This)))
#define ITdx880SubjectUL_get_Indentifier(This, Value) ((This)->lpVtbl->get_Indentifier((This), (Value)))
#define ITdx880SubjectUL_put_Indentifier(This, Value) ((This)->lpVtbl->put_Indentifier((This), (Value)))
#define ITdx880SubjectUL_get_Email(This, Value) ((This)->lpVtbl->get_Email((This), (Value)))
#define ITdx880SubjectUL_put_Email(This, Value) ((This)->lpVtbl->put_Email((This), (Value)))
#define ITdx880SubjectUL_get_Name(This, Value) ((This)->lpVtbl->get_Name((This), (Value)))
#define ITdx880SubjectUL_put_Name(This, Value) ((This)->lpVtbl->put_Name((This), (Value)))
#define ITdx880SubjectUL_get_Inn(This, Value) ((This)->lpVtbl->get_Inn((This), (Value)))
#define ITdx880SubjectUL_put_Inn(This, Value) ((This)->lpVtbl->put_Inn((This), (Value)))
#define ITdx880SubjectUL_get_Kpp(This, Value) ((This)->lpVtbl->get_Kpp((This), (Value)))
#define ITdx880SubjectUL_put_Kpp(This, Value) ((This)->lpVtbl->put_Kpp((This), (Value)))

typedef struct ITdx880SubjectFLVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(ITdx880SubjectFL* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(ITdx880SubjectFL* This);
  ULONG(STDMETHODCALLTYPE* Release)(ITdx880SubjectFL* This);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(ITdx880SubjectFL* This, UINT* pctinfo);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(ITdx880SubjectFL* This, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(ITdx880SubjectFL* This, REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId);
  HRESULT(STDMETHODCALLTYPE* Invoke)(ITdx880SubjectFL* This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
  HRESULT(STDMETHODCALLTYPE* get_Indentifier)(ITdx880SubjectFL* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_Indentifier)(ITdx880SubjectFL* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_Email)(ITdx880SubjectFL* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_Email)(ITdx880SubjectFL* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_LName)(ITdx880SubjectFL* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_LName)(ITdx880SubjectFL* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_FName)(ITdx880SubjectFL* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_FName)(ITdx880SubjectFL* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_MName)(ITdx880SubjectFL* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_MName)(ITdx880SubjectFL* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_Inn)(ITdx880SubjectFL* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_Inn)(ITdx880SubjectFL* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_FIO)(ITdx880SubjectFL* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_FIO)(ITdx880SubjectFL* This, BSTR Value);
} ITdx880SubjectFLVtbl;
struct ITdx880SubjectFL {
  const struct ITdx880SubjectFLVtbl* lpVtbl;
};
#define ITdx880SubjectFL_QueryInterface(This, riid, ppvObject) ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define ITdx880SubjectFL_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define ITdx880SubjectFL_Release(This) ((This)->lpVtbl->Release((This)))
#define ITdx880SubjectFL_get_Indentifier(This, Value) ((This)->lpVtbl->get_Indentifier((This), (Value)))
#define ITdx880SubjectFL_put_Indentifier(This, Value) ((This)->lpVtbl->put_Indentifier((This), (Value)))
#define ITdx880SubjectFL_get_Email(This, Value) ((This)->lpVtbl->get_Email((This), (Value)))
#define ITdx880SubjectFL_put_Email(This, Value) ((This)->lpVtbl->put_Email((This), (Value)))
#define ITdx880SubjectFL_get_LName(This, Value) ((This)->lpVtbl->get_LName((This), (Value)))
#define ITdx880SubjectFL_put_LName(This, Value) ((This)->lpVtbl->put_LName((This), (Value)))
#define ITdx880SubjectFL_get_FName(This, Value) ((This)->lpVtbl->get_FName((This), (Value)))
#define ITdx880SubjectFL_put_FName(This, Value) ((This)->lpVtbl->put_FName((This), (Value)))
#define ITdx880SubjectFL_get_MName(This, Value) ((This)->lpVtbl->get_MName((This), (Value)))
#define ITdx880SubjectFL_put_MName(This, Value) ((This)->lpVtbl->put_MName((This), (Value)))
#define ITdx880SubjectFL_get_Inn(This, Value) ((This)->lpVtbl->get_Inn((This), (Value)))
#define ITdx880SubjectFL_put_Inn(This, Value) ((This)->lpVtbl->put_Inn((This), (Value)))
#define ITdx880SubjectFL_get_FIO(This, Value) ((This)->lpVtbl->get_FIO((This), (Value)))
#define ITdx880SubjectFL_put_FIO(This, Value) ((This)->lpVtbl->put_FIO((This), (Value)))

typedef struct ITdx880SubjectNOVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(ITdx880SubjectNO* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(ITdx880SubjectNO* This);
  ULONG(STDMETHODCALLTYPE* Release)(ITdx880SubjectNO* This);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(ITdx880SubjectNO* This, UINT* pctinfo);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(ITdx880SubjectNO* This, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(ITdx880SubjectNO* This, REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId);
  HRESULT(STDMETHODCALLTYPE* Invoke)(ITdx880SubjectNO* This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
  HRESULT(STDMETHODCALLTYPE* get_Indentifier)(ITdx880SubjectNO* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_Indentifier)(ITdx880SubjectNO* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_Email)(ITdx880SubjectNO* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_Email)(ITdx880SubjectNO* This, BSTR Value);
} ITdx880SubjectNOVtbl;
struct ITdx880SubjectNO {
  const struct ITdx880SubjectNOVtbl* lpVtbl;
};
#define ITdx880SubjectNO_QueryInterface(This, riid, ppvObject) ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define ITdx880SubjectNO_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define ITdx880SubjectNO_Release(This) ((This)->lpVtbl->Release((This)))
#define ITdx880SubjectNO_get_Indentifier(This, Value) ((This)->lpVtbl->get_Indentifier((This), (Value)))
#define ITdx880SubjectNO_put_Indentifier(This, Value) ((This)->lpVtbl->put_Indentifier((This), (Value)))
#define ITdx880SubjectNO_get_Email(This, Value) ((This)->lpVtbl->get_Email((This), (Value)))
#define ITdx880SubjectNO_put_Email(This, Value) ((This)->lpVtbl->put_Email((This), (Value)))

typedef struct ITdx880SubjectSOSVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(ITdx880SubjectSOS* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(ITdx880SubjectSOS* This);
  ULONG(STDMETHODCALLTYPE* Release)(ITdx880SubjectSOS* This);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(ITdx880SubjectSOS* This, UINT* pctinfo);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(ITdx880SubjectSOS* This, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(ITdx880SubjectSOS* This, REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId);
  HRESULT(STDMETHODCALLTYPE* Invoke)(ITdx880SubjectSOS* This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
  HRESULT(STDMETHODCALLTYPE* get_Indentifier)(ITdx880SubjectSOS* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_Indentifier)(ITdx880SubjectSOS* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_Email)(ITdx880SubjectSOS* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_Email)(ITdx880SubjectSOS* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_Name)(ITdx880SubjectSOS* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_Name)(ITdx880SubjectSOS* This, BSTR Value);
} ITdx880SubjectSOSVtbl;
struct ITdx880SubjectSOS {
  const struct ITdx880SubjectSOSVtbl* lpVtbl;
};
#define ITdx880SubjectSOS_QueryInterface(This, riid, ppvObject) ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define ITdx880SubjectSOS_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define ITdx880SubjectSOS_Release(This) ((This)->lpVtbl->Release((This)))
#define ITdx880SubjectSOS_get_Indentifier(This, Value) ((This)->lpVtbl->get_Indentifier((This), (Value)))
#define ITdx880SubjectSOS_put_Indentifier(This, Value) ((This)->lpVtbl->put_Indentifier((This), (Value)))
#define ITdx880SubjectSOS_get_Email(This, Value) ((This)->lpVtbl->get_Email((This), (Value)))
#define ITdx880SubjectSOS_put_Email(This, Value) ((This)->lpVtbl->put_Email((This), (Value)))
#define ITdx880SubjectSOS_get_Name(This, Value) ((This)->lpVtbl->get_Name((This), (Value)))
#define ITdx880SubjectSOS_put_Name(This, Value) ((This)->lpVtbl->put_Name((This), (Value)))

typedef struct ITdx880SpecDocVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(ITdx880SpecDoc* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(ITdx880SpecDoc* This);
  ULONG(STDMETHODCALLTYPE* Release)(ITdx880SpecDoc* This);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(ITdx880SpecDoc* This, UINT* pctinfo);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(ITdx880SpecDoc* This, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(ITdx880SpecDoc* This, REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId);
  HRESULT(STDMETHODCALLTYPE* Invoke)(ITdx880SpecDoc* This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
  HRESULT(STDMETHODCALLTYPE* get_XML)(ITdx880SpecDoc* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_XML)(ITdx880SpecDoc* This, BSTR Value);
} ITdx880SpecDocVtbl;
struct ITdx880SpecDoc {
  const struct ITdx880SpecDocVtbl* lpVtbl;
};
#define ITdx880SpecDoc_QueryInterface(This, riid, ppvObject) ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define ITdx880SpecDoc_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define ITdx880SpecDoc_Release(This) ((This)->lpVtbl->Release((This)))
#define ITdx880SpecDoc_get_XML(This, Value) ((This)->lpVtbl->get_XML((This), (Value)))
#define ITdx880SpecDoc_put_XML(This, Value) ((This)->lpVtbl->put_XML((This), (Value)))

typedef struct ITdx880TrDeklVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(ITdx880TrDekl* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(ITdx880TrDekl* This);
  ULONG(STDMETHODCALLTYPE* Release)(ITdx880TrDekl* This);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(ITdx880TrDekl* This, UINT* pctinfo);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(ITdx880TrDekl* This, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(ITdx880TrDekl* This, REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId);
  HRESULT(STDMETHODCALLTYPE* Invoke)(ITdx880TrDekl* This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
  HRESULT(STDMETHODCALLTYPE* get_XML)(ITdx880TrDekl* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_XML)(ITdx880TrDekl* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_FormName)(ITdx880TrDekl* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_FormName)(ITdx880TrDekl* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_FormKnd)(ITdx880TrDekl* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_FormKnd)(ITdx880TrDekl* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_DeklKind)(ITdx880TrDekl* This, DEKL_KIND_TYPES* Value);
  HRESULT(STDMETHODCALLTYPE* put_DeklKind)(ITdx880TrDekl* This, DEKL_KIND_TYPES Value);
  HRESULT(STDMETHODCALLTYPE* get_Year)(ITdx880TrDekl* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_Year)(ITdx880TrDekl* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_PeriodCode)(ITdx880TrDekl* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_PeriodCode)(ITdx880TrDekl* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_SonoAccount)(ITdx880TrDekl* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_SonoAccount)(ITdx880TrDekl* This, BSTR Value);
  HRESULT(STDMETHODCALLTYPE* get_SonoSituation)(ITdx880TrDekl* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_SonoSituation)(ITdx880TrDekl* This, BSTR Value);
} ITdx880TrDeklVtbl;
struct ITdx880TrDekl {
  const struct ITdx880TrDeklVtbl* lpVtbl;
};
#define ITdx880TrDekl_QueryInterface(This, riid, ppvObject) ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define ITdx880TrDekl_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define ITdx880TrDekl_Release(This) ((This)->lpVtbl->Release((This)))
#define ITdx880TrDekl_get_XML(This, Value) ((This)->lpVtbl->get_XML((This), (Value)))
#define ITdx880TrDekl_put_XML(This, Value) ((This)->lpVtbl->put_XML((This), (Value)))
#define ITdx880TrDekl_get_FormName(This, Value) ((This)->lpVtbl->get_FormName((This), (Value)))
#define ITdx880TrDekl_put_FormName(This, Value) ((This)->lpVtbl->put_FormName((This), (Value)))
#define ITdx880TrDekl_get_FormKnd(This, Value) ((This)->lpVtbl->get_FormKnd((This), (Value)))
#define ITdx880TrDekl_put_FormKnd(This, Value) ((This)->lpVtbl->put_FormKnd((This), (Value)))
#define ITdx880TrDekl_get_DeklKind(This, Value) ((This)->lpVtbl->get_DeklKind((This), (Value)))
#define ITdx880TrDekl_put_DeklKind(This, Value) ((This)->lpVtbl->put_DeklKind((This), (Value)))
#define ITdx880TrDekl_get_Year(This, Value) ((This)->lpVtbl->get_Year((This), (Value)))
#define ITdx880TrDekl_put_Year(This, Value) ((This)->lpVtbl->put_Year((This), (Value)))
#define ITdx880TrDekl_get_PeriodCode(This, Value) ((This)->lpVtbl->get_PeriodCode((This), (Value)))
#define ITdx880TrDekl_put_PeriodCode(This, Value) ((This)->lpVtbl->put_PeriodCode((This), (Value)))
#define ITdx880TrDekl_get_SonoAccount(This, Value) ((This)->lpVtbl->get_SonoAccount((This), (Value)))
#define ITdx880TrDekl_put_SonoAccount(This, Value) ((This)->lpVtbl->put_SonoAccount((This), (Value)))
#define ITdx880TrDekl_get_SonoSituation(This, Value) ((This)->lpVtbl->get_SonoSituation((This), (Value)))
#define ITdx880TrDekl_put_SonoSituation(This, Value) ((This)->lpVtbl->put_SonoSituation((This), (Value)))

typedef struct ITdx880ErrorVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(ITdx880Error* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(ITdx880Error* This);
  ULONG(STDMETHODCALLTYPE* Release)(ITdx880Error* This);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(ITdx880Error* This, UINT* pctinfo);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(ITdx880Error* This, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(ITdx880Error* This, REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId);
  HRESULT(STDMETHODCALLTYPE* Invoke)(ITdx880Error* This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
  HRESULT(STDMETHODCALLTYPE* get_Code)(ITdx880Error* This, LONG* Value);
  HRESULT(STDMETHODCALLTYPE* put_Code)(ITdx880Error* This, LONG Value);
  HRESULT(STDMETHODCALLTYPE* get_Message)(ITdx880Error* This, BSTR* Value);
  HRESULT(STDMETHODCALLTYPE* put_Message)(ITdx880Error* This, BSTR Value);
} ITdx880ErrorVtbl;
struct ITdx880Error {
  const struct ITdx880ErrorVtbl* lpVtbl;
};
#define ITdx880Error_QueryInterface(This, riid, ppvObject) ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define ITdx880Error_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define ITdx880Error_Release(This) ((This)->lpVtbl->Release((This)))
#define ITdx880Error_get_Code(This, Value) ((This)->lpVtbl->get_Code((This), (Value)))
#define ITdx880Error_put_Code(This, Value) ((This)->lpVtbl->put_Code((This), (Value)))
#define ITdx880Error_get_Message(This, Value) ((This)->lpVtbl->get_Message((This), (Value)))
#define ITdx880Error_put_Message(This, Value) ((This)->lpVtbl->put_Message((This), (Value)))

#endif /* __cplusplus */

#endif /* LYR_TDX880_LYRTDXPACKAGE880_H */
