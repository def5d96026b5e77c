#pragma once

#include <memory>

class IGraphicsLinux;
class IPlugVST;

extern const char* const kBundleIdentifier;

// The editor window's graphics object; the caller owns it until it attaches it.
std::unique_ptr<IGraphicsLinux> MakeGraphics(IPlugVST* plug, int width, int height, int frameRate);
