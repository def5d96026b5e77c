// A popup-menu model turned into the view's menu levels, one level for the
// model and one for each of its submenus, with the way back from a chosen
// level to the model it came from. The model is whatever the caller has;
// a function describes its items.
#pragma once

#include <deque>
#include <functional>
#include <map>

#include "ViewRecords.h"

template <class Model>
class ViewMenuTree {
 public:
  struct ItemDescription {
    std::string text;
    int flags = 0;
    const Model* submenu = nullptr;
  };
  struct LevelDescription {
    int count = 0;
    int prefix = 0;
  };
  // A model's item count and prefix style, and item i of it.
  using Shape = std::function<LevelDescription(const Model&)>;
  using Describe = std::function<ItemDescription(const Model&, int)>;

  ViewMenuTree(const Model& root, Shape shape, Describe describe)
      : mShape(std::move(shape)), mDescribe(std::move(describe)) {
    mRoot = Level(root, 0);
  }

  const ViewMenu& Root() const { return *mRoot; }
  // The model a level was made from; null for a level of another tree.
  const Model* ModelOf(const ViewMenu* level) const {
    const auto it = mModels.find(level);
    return it == mModels.end() ? nullptr : it->second;
  }

 private:
  // Submenus nested deeper than this are left out, so a model that holds
  // itself cannot recurse without end.
  static constexpr int kMaxDepth = 16;

  const ViewMenu* Level(const Model& model, int depth) {
    ViewMenu& level = mLevels.emplace_back();
    const LevelDescription shape = mShape(model);
    level.prefix = shape.prefix;
    mModels[&level] = &model;
    for (int i = 0; i < shape.count; ++i) {
      ItemDescription item = mDescribe(model, i);
      const ViewMenu* submenu = item.submenu && depth + 1 < kMaxDepth ? Level(*item.submenu, depth + 1) : nullptr;
      level.items.push_back({std::move(item.text), item.flags, submenu});
    }
    return &level;
  }

  Shape mShape;
  Describe mDescribe;
  std::deque<ViewMenu> mLevels;  // a deque keeps the levels where they are
  std::map<const ViewMenu*, const Model*> mModels;
  const ViewMenu* mRoot = nullptr;
};
