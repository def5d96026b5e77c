#include "TestPlug.h"

TestPlug::TestPlug(const Config& config)
    : IPlugVST(IPlugInstanceInfo{config.host}, config.nParams, config.channelIO, config.nPresets, "Test",
               "Test Product", "Test Maker", 0x00010203, 0x54657374, 0x4B7A7631, 0, true, config.chunks,
               true, 0) {
  initialize(IPlugInstanceInfo{config.host}, config.nAutomatable, config.nParams, config.channelIO,
             config.nPresets, "Test", "Test Product", "Test Maker", 0x00010203, 0x54657374, 0x4B7A7631, 0,
             true, config.chunks, true, 0);
  for (int i = 0; i < config.nParams && config.initParams; ++i) GetParam(i)->InitDouble("p", 0.0, 0.0, 10.0, 0.5);
}
