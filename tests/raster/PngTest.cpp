#include <unistd.h>
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "RasterTestSupport.h"

using namespace rastertest;

namespace {

using rastertest::PrintTo;

using Bytes = std::vector<unsigned char>;

struct PngRecipe {
  int w, h, depth, colorType;
  std::vector<Bytes> rows;  // raw rows as libpng expects them
  std::vector<png_color> palette;
  Bytes trns;
  bool interlace = false;
};

// Encodes an image with libpng itself, so the decoder meets real files.
Bytes encode(const PngRecipe& s)
{
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    ADD_FAILURE() << "encoding failed";
    return {};
  }
  auto append = [](png_structp p, png_bytep data, png_size_t n) {
    auto* to = static_cast<Bytes*>(png_get_io_ptr(p));
    to->insert(to->end(), data, data + n);
  };
  png_set_write_fn(png, &out, append, nullptr);
  png_set_IHDR(png, info, png_uint_32(s.w), png_uint_32(s.h), s.depth, s.colorType,
               s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), int(s.palette.size()));
  if (!s.trns.empty()) png_set_tRNS(png, info, s.trns.data(), int(s.trns.size()), nullptr);
  png_write_info(png, info);
  std::vector<png_bytep> rows;
  for (const Bytes& r : s.rows) rows.push_back(const_cast<png_bytep>(r.data()));
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

LICE_IBitmap* load(const Bytes& data, size_t len, LICE_IBitmap* into = nullptr)
{
  return LICE_LoadPNGFromMemory(data.data(), int(len), into);
}

// Pixel (x, y) is (20 x, 30 y, 7).
PngRecipe rgbImage(int w, int h, bool interlace = false)
{
  PngRecipe s{w, h, 8, PNG_COLOR_TYPE_RGB, {}, {}, {}, interlace};
  for (int y = 0; y < h; ++y) {
    Bytes row(size_t(w) * 3, 7);
    for (int x = 0; x < w; ++x) {
      row[size_t(x) * 3] = (unsigned char)(x * 20);
      row[size_t(x) * 3 + 1] = (unsigned char)(y * 30);
    }
    s.rows.push_back(row);
  }
  return s;
}

// Rewrites the IHDR size of an encoded image, with a correct chunk CRC, so
// only the declared size is hostile.
Bytes withDeclaredSize(Bytes png, uint32_t w, uint32_t h)
{
  for (int i = 0; i < 4; ++i) {
    png[16 + i] = (unsigned char)(w >> (24 - 8 * i));
    png[20 + i] = (unsigned char)(h >> (24 - 8 * i));
  }
  const uLong crc = crc32(0, png.data() + 12, 17);
  for (int i = 0; i < 4; ++i) png[29 + i] = (unsigned char)(crc >> (24 - 8 * i));
  return png;
}

void writeFile(const std::string& path, const Bytes& data, size_t len)
{
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), std::streamsize(len));
}

// An image made by libpng and the pixels it must decode to.
struct DecodeCase {
  const char* name;
  PngRecipe recipe;
  std::vector<At> expected;
};

class RasterPngDecode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(RasterPngDecode, GivesEveryPixelAlphaRedGreenBlue)
{
  const DecodeCase& c = GetParam();
  const Bytes data = encode(c.recipe);
  std::unique_ptr<LICE_IBitmap> bm(load(data, data.size()));
  ASSERT_TRUE(bm);
  EXPECT_EQ(bm->getWidth(), c.recipe.w);
  EXPECT_EQ(bm->getHeight(), c.recipe.h);
  expectPixels(*bm, c.expected);
}

const DecodeCase kDecodeCases[] = {
    {"OneBitGrey",
     {10, 2, 1, PNG_COLOR_TYPE_GRAY, {Bytes{0xA0, 0x40}, Bytes{0xFF, 0xC0}}, {}, {}},
     {{0, 0, rgba(255, 255, 255, 255)}, {1, 0, rgba(0, 0, 0, 255)}, {9, 0, rgba(255, 255, 255, 255)},
      {7, 1, rgba(255, 255, 255, 255)}, {8, 1, rgba(255, 255, 255, 255)}}},
    {"PaletteWithTransparency",
     {3, 1, 8, PNG_COLOR_TYPE_PALETTE, {Bytes{0, 1, 2}}, {{255, 0, 0}, {0, 255, 0}, {1, 2, 3}}, {0, 128}},
     {{0, 0, rgba(255, 0, 0, 0)}, {1, 0, rgba(0, 255, 0, 128)}, {2, 0, rgba(1, 2, 3, 255)}}},
    {"FourBitPalette",
     {4, 1, 4, PNG_COLOR_TYPE_PALETTE, {Bytes{0x01, 0x20}}, {{9, 9, 9}, {10, 20, 30}, {40, 50, 60}}, {}},
     {{1, 0, rgba(10, 20, 30, 255)}, {2, 0, rgba(40, 50, 60, 255)}}},
    // 16-bit channels keep their high bytes.
    {"SixteenBitRgba",
     {1, 1, 16, PNG_COLOR_TYPE_RGB_ALPHA, {Bytes{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0}}, {}, {}},
     {{0, 0, rgba(0x12, 0x56, 0x9A, 0xDE)}}},
    {"EightBitRgba",
     {2, 1, 8, PNG_COLOR_TYPE_RGB_ALPHA, {Bytes{1, 2, 3, 4, 250, 251, 252, 0}}, {}, {}},
     {{0, 0, rgba(1, 2, 3, 4)}, {1, 0, rgba(250, 251, 252, 0)}}},
    {"Rgb", rgbImage(5, 4), {{4, 3, rgba(80, 90, 7, 255)}, {2, 1, rgba(40, 30, 7, 255)}}},
    {"GreyAlpha", {2, 1, 8, PNG_COLOR_TYPE_GRAY_ALPHA, {Bytes{50, 60, 200, 255}}, {}, {}},
     {{0, 0, rgba(50, 50, 50, 60)}, {1, 0, rgba(200, 200, 200, 255)}}},
    {"Interlaced", rgbImage(9, 9, true), {{8, 7, rgba(160, 210, 7, 255)}, {1, 2, rgba(20, 60, 7, 255)}}},
};

INSTANTIATE_TEST_SUITE_P(Images, RasterPngDecode, ::testing::ValuesIn(kDecodeCases), CaseName);

}  // namespace

TEST(RasterPng, LoadsIntoAGivenBitmapAtTheImageSize)
{
  const Bytes data = encode(rgbImage(5, 4));
  LICE_SysBitmap target(30, 30);
  FlippedBitmap flipped(1, 1, 4);
  EXPECT_EQ(load(data, data.size(), &target), &target);
  EXPECT_EQ(load(data, data.size(), &flipped), &flipped);
  EXPECT_EQ(target.getWidth(), 5);
  EXPECT_EQ(px(target, 2, 1), rgba(40, 30, 7, 255));
  EXPECT_EQ(px(flipped, 2, 1), rgba(40, 30, 7, 255));
}

TEST(RasterPng, ShortForeignTruncatedAndHostileDataIsRefused)
{
  const Bytes data = encode(rgbImage(6, 5));
  for (size_t len = 7; len < data.size(); ++len) ASSERT_EQ(load(data, len), nullptr) << "length " << len;
  Bytes foreign = data, badCrc = data, garbage(data.begin(), data.begin() + 8);
  foreign[0] = 0x88;
  badCrc[30] ^= 0xFF;
  for (int i = 0; i < 200; ++i) garbage.push_back((unsigned char)(i * 37 + 11));
  for (const Bytes& bad : {foreign, badCrc, garbage}) EXPECT_EQ(load(bad, bad.size()), nullptr);
  EXPECT_EQ(LICE_LoadPNGFromMemory(nullptr, 100, nullptr), nullptr);
  EXPECT_EQ(LICE_LoadPNGFromResource(nullptr, 101, nullptr), nullptr);
  const std::string path = testing::TempDir() + "raster_truncated_" + std::to_string(getpid()) + ".png";
  writeFile(path, data, data.size() - 20);
  EXPECT_EQ(LICE_LoadPNG(path.c_str(), nullptr), nullptr);
  std::remove(path.c_str());
  // Sizes that overflow, are empty or would need gigabytes, into a new or a given bitmap.
  const uint32_t sizes[][2] = {{100000, 100000}, {0x7FFFFFFF, 1}, {0, 4}, {4, 0}, {30000, 30000}, {0x80000000u, 2}};
  for (const auto& s : sizes) {
    const Bytes hostile = withDeclaredSize(data, s[0], s[1]);
    LICE_MemBitmap given(2, 2, 4);
    EXPECT_EQ(load(hostile, hostile.size()), nullptr) << s[0] << "x" << s[1];
    EXPECT_EQ(load(hostile, hostile.size(), &given), nullptr);
  }
}

TEST(RasterPng, FilesNamedResourcesAndTheLoaderRecord)
{
  const Bytes data = encode(rgbImage(3, 2));
  const std::string name = "raster_res_" + std::to_string(getpid());
  const std::string dir = testing::TempDir(), path = dir + name + ".png", upper = dir + name + ".PNG";
  for (const std::string& p : {path, upper, path + ".bak"}) writeFile(p, data, data.size());
  std::unique_ptr<LICE_IBitmap> fromFile(LICE_LoadPNG(path.c_str()));
  ASSERT_TRUE(fromFile);
  EXPECT_EQ(px(*fromFile, 2, 1), rgba(40, 30, 7, 255));
  EXPECT_EQ(LICE_LoadPNG((dir + "raster_missing.png").c_str()), nullptr);
  LICE_SetNamedResourceFolder(dir.c_str());
  EXPECT_TRUE(std::unique_ptr<LICE_IBitmap>(LICE_LoadPNGFromNamedResource((name + ".png").c_str())));
  EXPECT_EQ(LICE_LoadPNGFromNamedResource(std::string(401, 'a').c_str()), nullptr);
  LICE_SetNamedResourceFolder(nullptr);
  // The registered loader checks the extension, in any case, when asked to.
  ASSERT_NE(LICE_ImageLoader_list, nullptr);
  const auto load = LICE_ImageLoader_list->loadfunc;
  for (const auto& [p, loads] : {std::pair<std::string, bool>{path, true}, {upper, true}, {path + ".bak", false},
                                 {"noext", false}, {"dir.png/file", false}})
    EXPECT_EQ(bool(std::unique_ptr<LICE_IBitmap>(load(p.c_str(), true, nullptr))), loads) << p;
  for (const std::string& p : {path, upper, path + ".bak"}) std::remove(p.c_str());
}
