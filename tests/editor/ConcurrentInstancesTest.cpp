// Instances a host creates on several threads at once: the first of them
// reads the bundle's documents, the others wait for that and share it; each
// builds its own editor, and they close side by side.
#include <latch>

#include "EditorTestSupport.h"
#include "IGraphics.h"
#include "UIConfigManager.h"
#include "UIDocument.h"

namespace {
class ConcurrentInstancesTest : public EditorTest {
 protected:
  ConcurrentInstancesTest() { setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1); }
  ~ConcurrentInstancesTest() override { unsetenv("TARNIVEX_RESOURCE_DIR"); }
};

TEST_F(ConcurrentInstancesTest, CreatedAndClosedOnSeveralThreadsAtOnce) {
  constexpr int kThreads = 4;
  std::vector<std::unique_ptr<Tarnivex>> plugs(kThreads);
  std::latch start(kThreads), built(kThreads), close(1);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      plugs[static_cast<size_t>(t)] = std::make_unique<Tarnivex>(IPlugInstanceInfo{});
      plugs[static_cast<size_t>(t)]->waitForLibrary();
      built.count_down();
      close.wait();
      plugs[static_cast<size_t>(t)].reset();
    });
  built.wait();
  const Tarnivex& first = *plugs[0];
  for (const auto& plug : plugs) {
    EXPECT_TRUE(plug);
    if (!plug || plug == plugs[0]) continue;
    const UIConfigManager& ui = *plug->uiConfigManager;
    EXPECT_EQ(ui.document(), first.uiConfigManager->document());
    EXPECT_TRUE(ui.document()->hasRoot);
    EXPECT_EQ(ui.layerMap.size(), first.uiConfigManager->layerMap.size());
    EXPECT_EQ(plug->GetGUI()->NControls(), first.GetGUI()->NControls());
    EXPECT_EQ(ui.sysexControls.controls.size(), first.uiConfigManager->sysexControls.controls.size());
    for (const char* page : {"root", "oscillators", "patchLibrarian"}) EXPECT_NE(ui.layerMap.at(page), nullptr);
    EXPECT_NE(plug->GetParam(kFilter1Cutoff)->GetControlAction(), first.GetParam(kFilter1Cutoff)->GetControlAction());
  }
  close.count_down();
  for (std::thread& thread : threads) thread.join();
}
}  // namespace
