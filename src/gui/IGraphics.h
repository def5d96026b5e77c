// The editor window's graphics context.
#pragma once

#include <memory>

#include "IPlugStructs.h"
#include "WDL_String.h"

class IPlugBase;

class IGraphics {
 public:
  IGraphics(IPlugBase* plug, int width, int height, int frameRate);
  virtual ~IGraphics() = default;
  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  int FPS() const { return mFPS; }
  IPlugBase* GetPlug() const { return mPlug; }

  // Shows a value on the controls bound to paramIdx; a plain value first
  // re-sets the parameter from its normalised form.
  void SetParameterFromPlug(int paramIdx, double value, bool normalized);

  virtual void PrepDraw() {}
  virtual void* OpenWindow(void* parentView) = 0;
  virtual void* OpenWindow(void* window, void* control, short leftOffset, short topOffset) = 0;
  virtual void CloseWindow() = 0;
  virtual bool WindowIsOpen() const = 0;
  virtual void PromptForFile(WDL_String* fileName, EFileAction action, WDL_String* directory,
                             char* extensions) = 0;

  // The whole bundle resource followed by a NUL byte, or null;
  // GetLoadedFileSize() then tells how much was read.
  std::unique_ptr<unsigned char[]> LoadFile(int resourceId, const char* fileName);
  int GetLoadedFileSize() const { return mLoadedFileSize; }

 protected:
  virtual std::unique_ptr<unsigned char[]> OSLoadFile(int resourceId, const char* fileName) = 0;
  void SetLoadedFileSize(int size) { mLoadedFileSize = size; }

 private:
  IPlugBase* mPlug;
  int mWidth;
  int mHeight;
  int mFPS;
  int mLoadedFileSize = 0;
};
