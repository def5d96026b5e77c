#include "MakeGraphics.h"

#include "IGraphicsLinux.h"
#include "IPlugVST.h"

const char* const kBundleIdentifier = "com.kelmscroft.TarnivexEditor";

std::unique_ptr<IGraphicsLinux> MakeGraphics(IPlugVST* plug, int width, int height, int frameRate) {
  auto graphics = std::make_unique<IGraphicsLinux>(plug, width, height, frameRate);
  graphics->SetBundleID(kBundleIdentifier);
  return graphics;
}
