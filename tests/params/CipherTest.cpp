// The block cipher, the resource format and the SHA-1 digest.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ResourceCipher.h"
#include "Sha1.h"
#include "Tea.h"

namespace {
struct TeaVector {
  unsigned int key[4];
  unsigned int plain[2];
  unsigned int cipher[2];
};

// Published TEA test vectors (key and block as 32-bit words).
const TeaVector kTeaVectors[] = {
    {{0, 0, 0, 0}, {0, 0}, {0x41EA3A0A, 0x94BAA940}},
    {{0, 0, 0, 0}, {0x01020304, 0x05060708}, {0x6A2F9CF3, 0xFCCF3C55}},
    {{0x00112233, 0x44556677, 0x8899AABB, 0xCCDDEEFF}, {0x01234567, 0x89ABCDEF}, {0x126C6B92, 0xC0653A3E}},
    {{0x00112233, 0x44556677, 0x8899AABB, 0xCCDDEEFF}, {0x01020304, 0x05060708}, {0xDEB1C0A2, 0x7E745DB3}},
};

TEST(Tea, PublishedVectorsInBothWordForms) {
  Tea tea;
  for (const TeaVector& v : kTeaVectors) {
    unsigned int key[4] = {v.key[0], v.key[1], v.key[2], v.key[3]};
    unsigned int words[2] = {v.plain[0], v.plain[1]};
    tea.encryptTea(words, key);
    EXPECT_EQ(words[0], v.cipher[0]);
    EXPECT_EQ(words[1], v.cipher[1]);
    tea.decryptTea(words, key);
    EXPECT_EQ(words[0], v.plain[0]);
    EXPECT_EQ(words[1], v.plain[1]);

    // The resource form stores the same words big-endian.
    unsigned char block[8];
    for (int i = 0; i < 4; ++i) {
      block[i] = static_cast<unsigned char>(v.plain[0] >> (24 - 8 * i));
      block[4 + i] = static_cast<unsigned char>(v.plain[1] >> (24 - 8 * i));
    }
    tea.simpleencrypt(block, key);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(block[i], static_cast<unsigned char>(v.cipher[0] >> (24 - 8 * i)));
      EXPECT_EQ(block[4 + i], static_cast<unsigned char>(v.cipher[1] >> (24 - 8 * i)));
    }
    tea.simpledecrypt(block, key);
    EXPECT_EQ(block[0], static_cast<unsigned char>(v.plain[0] >> 24));
    EXPECT_EQ(block[7], static_cast<unsigned char>(v.plain[1]));
  }
}

struct BlockCase {
  unsigned int length;
  unsigned int blocks;
  unsigned int lengthAfter;
};

TEST(Tea, EncryptBlockWritesTheLengthTrailerAndDecryptBlockRestoresIt) {
  const BlockCase cases[] = {{0, 1, 8}, {8, 2, 16}, {13, 3, 24}};
  unsigned int key[4] = {1, 2, 3, 4};
  Tea tea;
  for (const BlockCase& c : cases) {
    unsigned char buffer[32] = {};
    for (unsigned int i = 0; i < c.length; ++i) buffer[i] = static_cast<unsigned char>(i + 1);
    unsigned int length = c.length;
    EXPECT_EQ(tea.encryptBlock(buffer, &length, key), c.blocks);
    EXPECT_EQ(length, c.lengthAfter);
    EXPECT_EQ(tea.decryptBlock(buffer, &length, key), c.length);
    EXPECT_EQ(length, c.length);
    for (unsigned int i = 0; i < c.length; ++i) EXPECT_EQ(buffer[i], i + 1);
  }
}

TEST(Tea, DecryptBlockLeavesATrailingPartialBlockAlone) {
  unsigned int key[4] = {9, 8, 7, 6};
  unsigned char buffer[20] = {1, 2, 3, 4, 5, 6, 7, 8};
  unsigned int length = 8;
  Tea tea;
  tea.encryptBlock(buffer, &length, key);
  ASSERT_EQ(length, 16u);
  buffer[16] = 0xAA;
  buffer[19] = 0x55;
  length = 20;
  EXPECT_EQ(tea.decryptBlock(buffer, &length, key), 8u);
  EXPECT_EQ(length, 8u);
  EXPECT_EQ(buffer[0], 1);
  EXPECT_EQ(buffer[16], 0xAA);
  EXPECT_EQ(buffer[19], 0x55);
}

TEST(Tea, PrintBufferOfNothingWritesANewline) {
  testing::internal::CaptureStdout();
  Tea tea;
  unsigned char text[] = {'a', 'b'};
  tea.printBuffer(text, 0);
  tea.printBuffer(text, 2);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nab\n");
}

TEST(ResourceCipher, DecipherAppendsWholeBlocks) {
  const struct {
    int length;
    size_t appended;
  } cases[] = {{0, 0}, {-3, 0}, {1, 8}, {8, 8}, {9, 16}};
  const std::vector<unsigned char> resource = encipherResource("0123456789abcdef");
  for (const auto& c : cases) {
    std::string text = "kept";
    decipherResource(reinterpret_cast<const char*>(resource.data()), c.length, text);
    EXPECT_EQ(text.size(), 4 + c.appended) << c.length;
    EXPECT_EQ(text.substr(0, 4), "kept");
  }
  std::string text;
  decipherResource(reinterpret_cast<const char*>(resource.data()), 9, text);
  EXPECT_EQ(text.substr(0, 8), "01234567");
}

TEST(ResourceCipher, ATextRoundTripsAndEndsAtThePadding) {
  const std::string plain = "<sysexlist><sysex/></sysexlist>";
  const std::vector<unsigned char> resource = encipherResource(plain);
  ASSERT_EQ(resource.size(), 32u);
  EXPECT_NE(std::string(resource.begin(), resource.begin() + 8), plain.substr(0, 8));
  std::string text;
  decipherResource(reinterpret_cast<const char*>(resource.data()), static_cast<int>(resource.size()), text);
  EXPECT_EQ(text.size(), 32u);
  EXPECT_EQ(std::string(text.c_str()), plain);
}

std::string sha1Hex(const std::string& data) {
  unsigned char digest[20];
  char hex[41];
  sha1::calc(data.data(), static_cast<int>(data.size()), digest);
  sha1::toHexString(digest, hex);
  return hex;
}

TEST(Sha1, PublishedVectors) {
  EXPECT_EQ(sha1Hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(sha1Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(sha1Hex(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
  // 55, 56 and 64 bytes: the length field in the first or a second tail block.
  EXPECT_EQ(sha1Hex(std::string(55, 'a')), "c1c8bbdc22796e28c0e15163d20899b65621d65a");
  EXPECT_EQ(sha1Hex(std::string(56, 'a')), "c2db330f6083854c99d4b5bfb6e8f29f201be699");
  EXPECT_EQ(sha1Hex(std::string(64, 'a')), "0098ba824b5c16427bd7a1122a5a442a25ec644d");
}

TEST(Sha1, HexStringIsFortyDigitsAndATerminator) {
  unsigned char digest[20];
  for (int i = 0; i < 20; ++i) digest[i] = static_cast<unsigned char>(0xF0 + (i % 16));
  char hex[42];
  std::memset(hex, 'x', sizeof(hex));
  sha1::toHexString(digest, hex);
  EXPECT_EQ(hex[40], '\0');
  EXPECT_EQ(hex[41], 'x');
  EXPECT_EQ(std::string(hex, 4), "f0f1");
}
}  // namespace
