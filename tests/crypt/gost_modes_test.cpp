// The GOST modes the envelopes need beyond the engine's CMS code, against published vectors
// (GOST R 34.13-2015 appendix A, the KExp15 and KDF_TREE examples, RFC 4490 section 9.3).
#include "crypt/platform/gost_modes.h"

#include <gtest/gtest.h>

#include "crypt/platform/crypto_runtime.h"
#include "rtl/hex.h"

namespace lyr::crypt::gost {
namespace {

using rtl::HexToBytes;

const std::string kKey =
    HexToBytes("8899AABBCCDDEEFF0011223344556677FEDCBA98765432100123456789ABCDEF");
const std::string kPlain = HexToBytes(
    "1122334455667700FFEEDDCCBBAA998800112233445566778899AABBCCEEFF0A"
    "112233445566778899AABBCCEEFF0A002233445566778899AABBCCEEFF0A0011"
    "33445566778899AABBCCEEFF0A001122445566778899AABBCCEEFF0A00112233"
    "5566778899AABBCCEEFF0A0011223344");

TEST(GostModes, CtrAcpkmRekeysEverySectionAndOmacIsTheFullBlock) {
  const CryptoRuntime runtime;
  CtrAcpkm stream(BlockCipher::kKuznyechik, kKey, HexToBytes("1234567890ABCEF0"), 32);
  std::string out(kPlain.size(), '\0');
  stream.Apply(kPlain.data(), out.data(), 17);  // uneven pieces
  stream.Apply(kPlain.data() + 17, out.data() + 17, kPlain.size() - 17);
  EXPECT_EQ(rtl::BytesToHexPlain(out).substr(64, 64),
            "4BCEEB8F646F4C55001706275E85E800587C4DF568D094393E4834AFD0805046");
  Omac mac(BlockCipher::kKuznyechik, kKey);
  mac.Update(std::string_view(kPlain).substr(0, 64));
  EXPECT_EQ(rtl::BytesToHexPlain(mac.Final()), "336F4D296059FBE34DDEB35B37749C67");
}

TEST(GostModes, KdfTreeKimp15AndTheCryptoProKeyUnwrapGiveThePublishedKeys) {
  const CryptoRuntime runtime;
  EXPECT_EQ(
      rtl::BytesToHexPlain(
          KdfTree256(HexToBytes("000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F"),
                     HexToBytes("26BDB878"), HexToBytes("AF21434145656378")))
          .substr(0, 64),
      "22B6837845C6BEF65EA71672B265831086D3C76AEBE6DAE91CAD51D83F79D16B");
  const std::string key_enc =
      HexToBytes("202122232425262728292A2B2C2D2E2F38393A3B3C3D3E3F3031323334353637");
  const std::string key_mac =
      HexToBytes("08090A0B0C0D0E0F0001020304050607101112131415161718191A1B1C1D1E1F");
  std::string exported = HexToBytes(
      "CFD5A12D5B81B6E1E99C916D07900C6AC12703FB3ABDED55567BF3742C899C755DAFE7B42E3A8BD9");
  EXPECT_EQ(Kimp15(BlockCipher::kMagma, exported, key_mac, key_enc, HexToBytes("67BED654")), kKey);
  exported[39] ^= 1;
  EXPECT_EQ(Kimp15(BlockCipher::kMagma, exported, key_mac, key_enc, HexToBytes("67BED654")),
            std::nullopt);
  const std::string kek =
      HexToBytes("F93C14DA5CEF67BEDD6AE3A00EE78E96FF458D4CCE885B745450E754630D6F57");
  const std::string ukm = HexToBytes("9795E32C2BAD2B0C");
  const std::string wrapped =
      HexToBytes("6A2FA8210695689F9FE447AA9ECB61152B7E4160BC5D8DFBF53D281B189AF975");
  EXPECT_EQ(Gost89Unwrap(kek, ukm, wrapped, HexToBytes("366D98B7"), true),
            HexToBytes("7B55D0DF8E709B26ACB15807A6379AD866139E232C37A6EB67BE5AFF120A0827"));
  EXPECT_EQ(Gost89Unwrap(kek, ukm, wrapped, HexToBytes("366D98B7"), false), std::nullopt);
}

}  // namespace
}  // namespace lyr::crypt::gost
