#include <mutex>

#include "EditorView.h"

namespace {
class HeadlessViewFactory : public EditorViewFactory {
 public:
  std::unique_ptr<EditorView> Open(EditorView::Kind kind, void* parent, int width, int height) override {
    return std::make_unique<HeadlessView>(kind, parent, width, height);
  }
};

std::mutex gFactoryMutex;
std::shared_ptr<EditorViewFactory> gFactory;
}  // namespace

EditorViewFactory& CurrentEditorViewFactory() { return *SharedEditorViewFactory(); }

std::shared_ptr<EditorViewFactory> SharedEditorViewFactory() {
  std::lock_guard<std::mutex> lock(gFactoryMutex);
  if (!gFactory) gFactory = std::make_shared<HeadlessViewFactory>();
  return gFactory;
}

void SetEditorViewFactory(std::shared_ptr<EditorViewFactory> factory) {
  std::lock_guard<std::mutex> lock(gFactoryMutex);
  gFactory = std::move(factory);
}
