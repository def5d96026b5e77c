// The two enciphered configuration documents of the bundle, deciphered and
// read as the plug-in reads them: the SysEx definitions with their message
// templates, and the named value lists of the GUI document; then the window
// is built from the input as the GUI document, at each of the three sizes.
//
// Input: a mode byte; even: the resource as stored (enciphered); odd: a
// plain text that is enciphered first, so the readers see its XML.
#include <tinyxml2.h>

#include <cstdlib>
#include <filesystem>

#include "ControlLayer.h"
#include "FuzzDrivers.h"
#include "FuzzSupport.h"
#include "IGraphicsLinux.h"
#include "MakeGraphics.h"
#include "ResourceCipher.h"
#include "SysExDefinitions.h"
#include "Tarnivex.h"
#include "UIConfigManager.h"
#include "ValueLists.h"

namespace fuzz {
namespace {
// A bundle whose GUI document is the input; images and SysEx definitions
// are the real bundle's.
const std::string& windowBundle() {
  static const std::string folder = [] {
    const std::string made = freshFolder("window-bundle");
#ifdef TARNIVEX_BUNDLE_RESOURCES
    const std::filesystem::path real(TARNIVEX_BUNDLE_RESOURCES);
    std::error_code error;
    std::filesystem::create_directory_symlink(real / "img", std::filesystem::path(made) / "img", error);
    std::filesystem::create_symlink(real / "sysex.tea", std::filesystem::path(made) / "sysex.tea", error);
#endif
    return made;
  }();
  return folder;
}

void buildWindows(const std::vector<unsigned char>& resource) {
  Tarnivex& plug = windowPlugin();
  const std::string bundle = windowBundle();
  writeBytes(bundle + "/uiconfig.tea", resource.data(), resource.size());
  const char* old = std::getenv("TARNIVEX_RESOURCE_DIR");
  const std::string kept = old ? old : "";
  setenv("TARNIVEX_RESOURCE_DIR", bundle.c_str(), 1);
  for (const double scale : {0.85, 1.0, 1.15}) {
    auto graphics = MakeGraphics(&plug, static_cast<int>(1500 * scale), static_cast<int>(757 * scale), 0);
    UIConfigManager ui;
    ui.readUIConfig(graphics.get(), &plug, nullptr, 0, scale);
    // Whatever the document said, every control lies within reach of the
    // window (a bitmap's size comes on top of its clamped place).
    const int reach = static_cast<int>(3 * 1500 * scale) + 4096;
    const auto near = [reach](const IControl& control) {
      const IRECT* r = control.GetRECT();
      FUZZ_CHECK(std::abs(r->L) <= reach && std::abs(r->T) <= reach && std::abs(r->R) <= reach &&
                 std::abs(r->B) <= reach);
    };
    const auto walk = [&](const ControlLayer& layer, const auto& self) -> void {
      for (const auto& control : layer.controls()) near(*control);
      for (const auto& sub : layer.subLayers()) self(*sub, self);
    };
    for (int i = 0; i < graphics->NControls(); ++i) near(*graphics->GetControl(i));
    for (int i = 0; i < graphics->NLayers(); ++i) walk(*graphics->GetLayer(i), walk);
  }
  if (old) setenv("TARNIVEX_RESOURCE_DIR", kept.c_str(), 1);
  else unsetenv("TARNIVEX_RESOURCE_DIR");
}
}  // namespace

int documents(const uint8_t* data, size_t size) {
  Input in(data, size);
  const bool plain = in.byte() & 1;
  const std::vector<uint8_t> rest = in.rest();
  std::vector<unsigned char> resource(rest.begin(), rest.end());
  if (plain) {
    const std::string text(rest.begin(), rest.end());
    resource = encipherResource(text);
    std::string back;
    decipherResource(reinterpret_cast<const char*>(resource.data()), static_cast<int>(resource.size()), back);
    // Deciphering gives the text back, then zeros to the block's end.
    FUZZ_CHECK(back.compare(0, text.size(), text) == 0);
  }
  std::string text;
  decipherResource(reinterpret_cast<const char*>(resource.data()), static_cast<int>(resource.size()), text);
  // The text ends at its first NUL, as the readers take it.
  tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
  document.Parse(text.c_str());
  std::vector<SysExContainer> definitions;
  readSysExDefinitions(document, definitions);
  for (const SysExContainer& entry : definitions)
    if (const std::string* templ = sysExTemplate(entry)) parseSysExTemplate(*templ);
  ValueLists lists;
  readValueLists(document, lists);
  for (const auto& [name, texts] : lists) {
    valueListText(lists, name, 0);
    valueListText(lists, name, static_cast<int>(texts.size()));
  }
  buildWindows(resource);
  return 0;
}

}  // namespace fuzz
