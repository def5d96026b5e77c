// The editor window as the graphics context sees it: a child of the host's
// window, whichever window system backs it.
#pragma once

#include <functional>
#include <memory>
#include <string>

class EditorView {
 public:
  enum class Kind { kViewAsConfig, kWindow };

  virtual ~EditorView() = default;
  virtual Kind GetKind() const = 0;
  virtual void* GetParent() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void* Handle() = 0;
};

// A view with no window system behind it: tests drive it and read it.
class HeadlessView : public EditorView {
 public:
  HeadlessView(Kind kind, void* parent, int width, int height)
      : mKind(kind), mParent(parent), mWidth(width), mHeight(height) {}
  Kind GetKind() const override { return mKind; }
  void* GetParent() const override { return mParent; }
  int Width() const override { return mWidth; }
  int Height() const override { return mHeight; }
  void* Handle() override { return this; }

 private:
  Kind mKind;
  void* mParent;
  int mWidth;
  int mHeight;
};

// Opens views for the graphics context; the default makes headless views.
class EditorViewFactory {
 public:
  virtual ~EditorViewFactory() = default;
  virtual std::unique_ptr<EditorView> Open(EditorView::Kind kind, void* parent, int width, int height) = 0;
};

EditorViewFactory& CurrentEditorViewFactory();
void SetEditorViewFactory(std::shared_ptr<EditorViewFactory> factory);
