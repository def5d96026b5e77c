// tarnivex_imagegen <img-folder> [<controls.txt> [<text-report.txt>]]
// Renders every file of the image table at the editor's three sizes: the
// normal one into the folder, the small and the large into its "small" and
// "large" folders; the common images in the neutral scheme, each colour
// scheme's own files in that scheme. The control list from tarnivex_uilayout
// brings the captions printed into the backgrounds and the run-time texts
// that get value windows. The build fails, with the reason, when a key has
// no recipe, when a caption does not fit, when controls shown together
// overlap or leave their panel, or when any text would have a contrast below
// 4.5:1 with what it is drawn on; every text checked goes into the report.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "Finish.h"
#include "ImageTable.h"
#include "Palette.h"
#include "PngWrite.h"
#include "Recipes.h"

namespace {
struct Size {
  const char* name;
  double scale;
  const char* folder;  // under the image folder
};
constexpr Size kSizes[] = {{"small", 0.85, "small/"}, {"normal", 1.0, ""}, {"large", 1.15, "large/"}};
constexpr int kSizeCount = 3;

struct Job {
  const char* key;
  const char* file;
  int frames;
  int scheme;
};

struct Layout {
  imagegen::CaptionMap captions[kSizeCount];
  imagegen::SpotMap spots[kSizeCount];
};

bool readLayout(const char* path, Layout& layout, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  const std::string list{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<imagegen::ControlEntry> controls;
  if (!in || !imagegen::readControlList(list, imagegen::imageSizeAt, controls, error)) {
    if (error.empty()) error = "cannot read";
    return false;
  }
  // Every fault at every size is named, one a line.
  for (int i = 0; i < kSizeCount; ++i) {
    const double scale = kSizes[i].scale;
    const std::vector<imagegen::ControlEntry> sized =
        imagegen::atSize(controls, scale, imagegen::imageSizeAt, imagegen::imageInk);
    std::string why[3];
    imagegen::placeCaptions(sized, imagegen::captionSpace, layout.captions[i], why[0], scale);
    imagegen::placeTextSpots(sized, layout.spots[i], why[1]);
    imagegen::checkLayout(sized, imagegen::captionSpace, scale, why[2]);
    for (const std::string& lines : why) {
      std::istringstream each(lines);
      for (std::string line; std::getline(each, line);) {
        if (!error.empty()) error += '\n';
        error.append("at the ").append(kSizes[i].name).append(" size, ").append(line);
      }
    }
  }
  return error.empty();
}

bool writeImage(LICE_IBitmap* bm, const std::string& target, std::string& error) {
  // Written beside the target and renamed, so a failed run leaves no half file.
  const std::string temporary = target + ".part";
  if (!imagegen::writePng(bm, temporary, error) || std::rename(temporary.c_str(), target.c_str()) != 0) {
    if (error.empty()) error = "cannot write " + target;
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

bool render(const std::string& folder, const Job& job, Layout& layout, std::vector<imagegen::TextCheck>& report,
            std::string& error) {
  imagegen::Drawing drawing;
  if (!imagegen::drawImage(job.key, job.frames, imageFramesHorizontal(job.key, job.frames), job.scheme, drawing)) {
    error = std::string("no drawing for ") + job.key;
    return false;
  }
  for (int i = 0; i < kSizeCount; ++i) {
    imagegen::SizeExtras extras;
    if (const auto it = layout.captions[i].find(job.key); it != layout.captions[i].end()) extras.captions = it->second;
    if (const auto it = layout.spots[i].find(job.key); it != layout.spots[i].end()) extras.spots = it->second;
    const std::string name = std::string(job.file) + "@" + kSizes[i].name;
    auto bm = imagegen::finishImage(drawing, kSizes[i].scale, job.scheme, extras, name, report, error);
    if (!bm || !writeImage(bm.get(), folder + "/" + kSizes[i].folder + job.file, error)) return false;
  }
  return true;
}
}  // namespace

// Runs work(i) for i = 0 .. count - 1 on a few threads.
void inParallel(size_t count, const std::function<void(size_t)>& work) {
  std::atomic<size_t> next{0};
  auto run = [&] {
    for (size_t i; (i = next++) < count;) work(i);
  };
  std::vector<std::thread> threads;
  const unsigned helpers = std::clamp(std::thread::hardware_concurrency(), 1u, 4u) - 1;
  for (unsigned i = 0; i < helpers; ++i) threads.emplace_back(run);
  run();
  for (std::thread& t : threads) t.join();
}

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::cerr << "usage: tarnivex_imagegen <img-folder> [<controls.txt> [<text-report.txt>]]\n";
    return 2;
  }
  // What each image draws on, which the layout checks read, found side by side.
  std::vector<const char*> keys;
  for (const ImageRow& row : kCommonImages) keys.push_back(row.key);
  for (const StyleImageRow& row : kStyleImages) keys.push_back(row.key);
  inParallel(keys.size(), [&](size_t i) {
    imagegen::Rect ink;
    imagegen::imageInk(keys[i], ink);
  });
  Layout layout;
  std::string error;
  if (argc >= 3 && !readLayout(argv[2], layout, error)) {
    std::cerr << argv[2] << ": " << error << "\n";
    return 1;
  }
  const std::string folder = argv[1];
  std::error_code ec;
  for (const Size& size : kSizes) std::filesystem::create_directories(folder + "/" + size.folder, ec);

  // A file that several rows share is drawn once.
  std::vector<Job> jobs;
  std::set<std::string> files;
  for (const ImageRow& row : kCommonImages)
    if (files.insert(row.file).second) jobs.push_back({row.key, row.file, row.frames, imagegen::kNeutral});
  for (int style = 0; style < kUIStyleCount; ++style)
    for (const StyleImageRow& row : kStyleImages)
      if (files.insert(row.file[style]).second) jobs.push_back({row.key, row.file[style], row.frames, style});

  std::vector<std::vector<imagegen::TextCheck>> reports(jobs.size());
  std::vector<std::string> errors(jobs.size());
  inParallel(jobs.size(), [&](size_t i) { render(folder, jobs[i], layout, reports[i], errors[i]); });

  bool ok = true;
  for (const std::string& e : errors)
    if (!e.empty()) {
      std::cerr << "tarnivex_imagegen: " << e << "\n";
      ok = false;
    }
  if (argc == 4) {
    std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
    for (const auto& report : reports)
      for (const imagegen::TextCheck& check : report) out << imagegen::reportLine(check) << "\n";
    if (!out) {
      std::cerr << "tarnivex_imagegen: cannot write " << argv[3] << "\n";
      ok = false;
    }
  }
  return ok ? 0 : 1;
}
