#include "BundlePaths.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {
std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}
}  // namespace

std::string BundleResourceDirectory() {
  if (const char* overridden = std::getenv("TARNIVEX_RESOURCE_DIR"); overridden && *overridden)
    return overridden;
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&BundleResourceDirectory), &info) || !info.dli_fname) return {};
  return DirectoryOf(info.dli_fname) + "/resources";
}

std::string BundleResourcePath(const char* name) {
  if (!name || !*name) return {};
  const std::string directory = BundleResourceDirectory();
  if (directory.empty()) return {};
  // The images keep their folder inside the resources ("resources/img/x.png",
  // "resources/img/small/x.png" for one drawn at another size); anything
  // else is found by its last component.
  static constexpr char kImages[] = "resources/img/";
  const char* image = name + sizeof(kImages) - 1;
  if (std::strncmp(name, kImages, sizeof(kImages) - 1) == 0 && *image && !std::strstr(image, "..") &&
      *image != '/' && std::count(image, image + std::strlen(image), '/') <= 1)
    return directory + "/img/" + image;
  const char* last = std::strrchr(name, '/');
  return directory + "/" + (last ? last + 1 : name);
}
