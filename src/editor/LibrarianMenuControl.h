// One of the eleven librarian popup menus the editor puts on layers of their
// own: the upper and lower bank-file menus of sounds and multis, the category
// and search-result menus, the bank edit menu, and the bank and program menus
// of the header. The editor asks a menu to rebuild what it lists; the menu
// keeps what it was last asked for.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "IControl.h"

class LibrarianMenuControl : public IControl {
 public:
  enum Role {
    kLeftPatch, kRightPatch, kLeftPerf, kRightPerf, kBankEdit, kRightCategory,
    kProgramNumber, kBankNumber, kRightSearch, kPerfBankName, kProgBankName, kRoleCount
  };

  LibrarianMenuControl(IPlugBase* plug, Role role, int left, int top, int right, int bottom)
      : IControl(plug, &kNoRect, -1), mRole(role), mRect{left, top, right, bottom} {
    mRECT = IRECT(left, top, right, bottom);
    mTargetRECT = mRECT;
  }
  // The menu opens from the librarian's own controls; its area draws nothing.
  bool Draw(IGraphics*) override { return true; }

  Role GetRole() const { return mRole; }
  const int* GetRect() const { return mRect; }

  // The folder tree of a bank-file menu, with the folder and bank to mark.
  virtual void refreshFolderStructure(const std::string& folder, const std::string& bank) {
    std::lock_guard<std::mutex> lock(mMutex);
    mFolder = folder;
    mBank = bank;
    ++mRefreshCount;
    SetDirty(false);
  }
  // The names a bank or program menu lists for the selected number.
  virtual void refreshNames(int selected) {
    mSelected = selected;
    ++mRefreshCount;
    SetDirty(false);
  }
  // The entries of the bank edit menu for the current librarian mode.
  virtual void AddMenuItemsIn() {
    ++mRefreshCount;
    SetDirty(false);
  }

  int refreshCount() const { return mRefreshCount; }
  int selected() const { return mSelected; }
  std::string folder() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mFolder;
  }
  std::string bank() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mBank;
  }

 private:
  static inline const IRECT kNoRect{};
  const Role mRole;
  const int mRect[4];
  mutable std::mutex mMutex;
  std::string mFolder;
  std::string mBank;
  std::atomic<int> mSelected{-1};
  std::atomic<int> mRefreshCount{0};
};
