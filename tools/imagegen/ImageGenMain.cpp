// tarnivex_imagegen <img-folder> [<controls.txt>]
// Renders every file of the image table: the common images once, in the
// neutral scheme, and each colour scheme's own files in that scheme. The
// control list from tarnivex_uilayout brings the captions printed into the
// backgrounds; one that does not fit fails the build. A file
// that several rows share is drawn once. Fails the build when a key has no
// recipe, so the table and the drawings cannot drift apart.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <string>

#include "ImageTable.h"
#include "Palette.h"
#include "PngWrite.h"
#include "Recipes.h"

namespace {
imagegen::CaptionMap captions;

bool render(const std::string& folder, const char* key, const char* file, int frames, int scheme,
            std::set<std::string>& written) {
  if (!written.insert(file).second) return true;
  auto bm = imagegen::renderImage(key, frames, imageFramesHorizontal(key, frames), scheme, captions[key]);
  if (!bm) {
    std::cerr << "tarnivex_imagegen: no drawing for " << key << "\n";
    return false;
  }
  // Written beside the target and renamed, so a failed run leaves no half file.
  const std::string target = folder + "/" + file, temporary = target + ".part";
  std::string error;
  if (!imagegen::writePng(bm.get(), temporary, error) || std::rename(temporary.c_str(), target.c_str()) != 0) {
    std::cerr << "tarnivex_imagegen: " << (error.empty() ? "cannot write " + target : error) << "\n";
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::cerr << "usage: tarnivex_imagegen <img-folder> [<controls.txt>]\n";
    return 2;
  }
  if (argc == 3) {
    std::ifstream in(argv[2], std::ios::binary);
    const std::string list{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<imagegen::ControlEntry> controls;
    std::string error;
    if (!in || !imagegen::readControlList(list, imagegen::imageSize, controls, error) ||
        !imagegen::placeCaptions(controls, imagegen::captionSpace, captions, error)) {
      std::cerr << argv[2] << ": " << (error.empty() ? "cannot read" : error) << "\n";
      return 1;
    }
  }
  const std::string folder = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  std::set<std::string> written;
  bool ok = true;
  for (const ImageRow& row : kCommonImages)
    ok = render(folder, row.key, row.file, row.frames, imagegen::kNeutral, written) && ok;
  for (int style = 0; style < kUIStyleCount; ++style)
    for (const StyleImageRow& row : kStyleImages)
      ok = render(folder, row.key, row.file[style], row.frames, style, written) && ok;
  return ok ? 0 : 1;
}
