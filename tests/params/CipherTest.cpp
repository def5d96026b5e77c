// The block cipher, the resource format and the SHA-1 digest.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>

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

// Two words as the resource form stores them: big-endian.
std::string bigEndian(const unsigned int (&words)[2]) {
  std::string out;
  for (unsigned int w : words)
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<char>(w >> s));
  return out;
}

TEST(Tea, PublishedVectorsInBothWordForms) {
  Tea tea;
  for (const TeaVector& v : kTeaVectors) {
    unsigned int key[4] = {v.key[0], v.key[1], v.key[2], v.key[3]};
    unsigned int words[2] = {v.plain[0], v.plain[1]};
    tea.encryptTea(words, key);
    EXPECT_EQ(std::make_pair(words[0], words[1]), std::make_pair(v.cipher[0], v.cipher[1]));
    tea.decryptTea(words, key);
    EXPECT_EQ(std::make_pair(words[0], words[1]), std::make_pair(v.plain[0], v.plain[1]));

    std::string block = bigEndian(v.plain);
    tea.simpleencrypt(reinterpret_cast<unsigned char*>(block.data()), key);
    EXPECT_EQ(block, bigEndian(v.cipher));
    tea.simpledecrypt(reinterpret_cast<unsigned char*>(block.data()), key);
    EXPECT_EQ(block, bigEndian(v.plain));
  }
}

TEST(Tea, BlockFormKeepsTheLengthInATrailerAndLeavesAPartialBlockAlone) {
  unsigned int key[4] = {1, 2, 3, 4};
  Tea tea;
  // Data length, blocks enciphered (the trailer's included) and their bytes.
  for (const auto& [size, blocks, enciphered] : {std::tuple{0u, 1u, 8u}, {8u, 2u, 16u}, {13u, 3u, 24u}}) {
    const std::string plain = std::string("0123456789abc").substr(0, size);
    std::string buffer = plain + std::string(36 - size, '\0');
    auto* data = reinterpret_cast<unsigned char*>(buffer.data());
    unsigned int length = size;
    EXPECT_EQ(tea.encryptBlock(data, &length, key), blocks);
    EXPECT_EQ(length, enciphered);
    buffer[length] = '!';  // a trailing partial block, not deciphered
    length += 3;
    EXPECT_EQ(tea.decryptBlock(data, &length, key), size);
    EXPECT_EQ(length, size);
    EXPECT_EQ(buffer.substr(0, size) + buffer[enciphered], plain + '!');
  }
}

TEST(ResourceCipher, DecipherAppendsWholeBlocksAndRoundTrips) {
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
    if (c.length >= 8) {
      EXPECT_EQ(text.substr(4, 8), "01234567");
    }
  }

  const std::string plain = "<sysexlist><sysex/></sysexlist>";
  const std::vector<unsigned char> padded = encipherResource(plain);
  ASSERT_EQ(padded.size(), 32u);
  EXPECT_NE(std::string(padded.begin(), padded.begin() + 8), plain.substr(0, 8));
  std::string text;
  decipherResource(reinterpret_cast<const char*>(padded.data()), static_cast<int>(padded.size()), text);
  EXPECT_EQ(text, plain + '\0');

  // Resources of many blocks, with a partial one at the end: every block as
  // the one-block form deciphers it, however many run side by side.
  unsigned int key[4] = {0x00112233, 0x44556677, 0x8899AABB, 0xCCDDEEFF};
  Tea tea;
  for (int length : {8 * 15, 8 * 16, 8 * 33 + 5, 8 * 200 + 1}) {
    std::string cipher(static_cast<size_t>(length), '\0');
    for (int i = 0; i < length; ++i) cipher[static_cast<size_t>(i)] = static_cast<char>(i * 37 + 11);
    std::string expected;
    for (int offset = 0; offset < length; offset += 8) {
      unsigned char block[8] = {};
      std::memcpy(block, cipher.data() + offset, static_cast<size_t>(std::min(8, length - offset)));
      tea.simpledecrypt(block, key);
      expected.append(reinterpret_cast<const char*>(block), 8);
    }
    std::string blocks = cipher + std::string((8 - length % 8) % 8, '\0');
    Tea::simpledecryptBlocks(reinterpret_cast<unsigned char*>(blocks.data()), blocks.size() / 8, key);
    EXPECT_EQ(blocks, expected) << length;
  }
}

// The digest as hex; the writer must stop at its terminator.
std::string sha1Hex(const std::string& data) {
  unsigned char digest[20];
  char hex[42];
  std::memset(hex, 'x', sizeof(hex));
  sha1::calc(data.data(), static_cast<int>(data.size()), digest);
  sha1::toHexString(digest, hex);
  EXPECT_EQ(hex[40], '\0');
  EXPECT_EQ(hex[41], 'x');
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
}  // namespace
