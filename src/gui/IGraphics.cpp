#include "IGraphics.h"

#include "IPlugBase.h"

IGraphics::IGraphics(IPlugBase* plug, int width, int height, int frameRate)
    : mPlug(plug), mWidth(width), mHeight(height), mFPS(frameRate > 0 ? frameRate : 25) {}

void IGraphics::SetParameterFromPlug(int paramIdx, double value, bool normalized) {
  IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
  if (!normalized && param) {
    value = param->GetNormalized(value);
    param->SetNormalized(value);
  }
  // Controls come with the control family; until then nothing is bound.
}

std::unique_ptr<unsigned char[]> IGraphics::LoadFile(int resourceId, const char* fileName) {
  return OSLoadFile(resourceId, fileName);
}
