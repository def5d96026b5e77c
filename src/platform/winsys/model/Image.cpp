#include "Image.h"

#include <cstring>
#include <fstream>
#include <map>

namespace winsys {

namespace {
uint32_t be32(const unsigned char* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint32_t le32(const unsigned char* p) { return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]; }
unsigned le16(const unsigned char* p) { return unsigned(p[0]) | unsigned(p[1]) << 8; }

std::map<std::string, std::shared_ptr<Image>>& named() {
  static std::map<std::string, std::shared_ptr<Image>> images;
  return images;
}
}  // namespace

std::shared_ptr<Image> loadImageFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return nullptr;
  std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  auto img = std::make_shared<Image>();
  img->file = path;
  static const unsigned char png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (bytes.size() >= 24 && !memcmp(b, png, 8) && !memcmp(b + 12, "IHDR", 4)) {
    img->width = int(be32(b + 16));
    img->height = int(be32(b + 20));
    return img->width > 0 && img->height > 0 ? img : nullptr;
  }
  // An icon file: header, directory entry, and the image data the entry points at inside the file.
  if (bytes.size() >= 22 && le16(b) == 0 && le16(b + 2) == 1 && le16(b + 4) >= 1) {
    uint32_t size = le32(b + 6 + 8), offset = le32(b + 6 + 12);
    if (size == 0 || uint64_t(offset) + size > bytes.size()) return nullptr;
    img->width = b[6] ? b[6] : 256;
    img->height = b[7] ? b[7] : 256;
    return img;
  }
  return nullptr;
}

std::shared_ptr<Image> imageNamed(const std::string& name) {
  auto it = named().find(name);
  return it == named().end() ? nullptr : it->second;
}

void setNamedImage(const std::string& name, std::shared_ptr<Image> image) {
  if (image)
    named()[name] = std::move(image);
  else
    named().erase(name);
}

}  // namespace winsys
