#include "FolderMenuControl.h"

#include "IGraphics.h"
#include "IParam.h"
#include "LibrarianBrowser.h"
#include "LibrarianViewControl.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"

namespace {
constexpr const char* kRootFolder = "Patches";

// The tick a rebuild gives while nothing is ticked yet: the bank named by
// the stored names, else the bank at the selected position.
struct ProvisionalTick {
  int selection;
  const std::string& fileName;
  const std::string& folderName;
  bool ticked = false;

  void offer(IPopupMenu* menu, int entry, const PatchFile& bank, const std::string& folder, int position) {
    if (ticked) return;
    if ((folder == folderName && bank.fileName == fileName) || position == selection) {
      menu->CheckItemAlone(entry);
      ticked = true;
    }
  }
};
}  // namespace

FolderMenuControl::FolderMenuControl(IPlugBase* plug, LibrarianBrowser* browser, IRECT rect, FolderMenuKind kind)
    : IControl(plug, &rect, -1), mBrowser(browser), mKind(kind) {
  const Names names = constructionNames();
  std::string file, folder;
  {
    std::lock_guard<std::mutex> lock(host().browseState().namesMutex);
    file = *names.file;
    folder = *names.folder;
  }
  refreshFolderStructure(0, file, folder);
}

FolderMenuControl::~FolderMenuControl() = default;

LibrarianHost& FolderMenuControl::host() const { return *mBrowser->host(); }

int FolderMenuControl::pane() const {
  switch (mKind) {
    case FolderMenuKind::kRightPatch:
    case FolderMenuKind::kRightPerf:
    case FolderMenuKind::kCategory:
    case FolderMenuKind::kSearch: return 1;
    default: return 0;
  }
}

int FolderMenuControl::bankList() const {
  switch (mKind) {
    case FolderMenuKind::kLeftPerf:
    case FolderMenuKind::kRightPerf:
    case FolderMenuKind::kPerfBankName: return kMultiList;
    case FolderMenuKind::kCategory: return kCategoryList;
    case FolderMenuKind::kSearch: return kSearchList;
    default: return kSoundList;
  }
}

FolderMenuControl::Names FolderMenuControl::pickNames() const {
  BrowseState& s = host().browseState();
  switch (mKind) {
    case FolderMenuKind::kLeftPatch:
    case FolderMenuKind::kProgBankName: return {&s.upperPatchFile, &s.upperPatchFolder};
    case FolderMenuKind::kLeftPerf:
    case FolderMenuKind::kPerfBankName: return {&s.upperPerfFile, &s.upperPerfFolder};
    case FolderMenuKind::kRightPerf: return {&s.lowerPerfFile, &s.lowerPerfFolder};
    default: return {&s.lowerPatchFile, &s.lowerPatchFolder};
  }
}

// The bank-name menus start from the lower pane's names, as they always
// have; at start-up all names are empty.
FolderMenuControl::Names FolderMenuControl::constructionNames() const {
  BrowseState& s = host().browseState();
  if (mKind == FolderMenuKind::kPerfBankName) return {&s.lowerPerfFile, &s.lowerPerfFolder};
  if (mKind == FolderMenuKind::kProgBankName) return {&s.lowerPatchFile, &s.lowerPatchFolder};
  return pickNames();
}

IPopupMenu* FolderMenuControl::newMenu() {
  mOwned.push_back(std::make_unique<IPopupMenu>());
  return mOwned.back().get();
}

void FolderMenuControl::registerMenu(IPopupMenu* menu, const std::string& folderName) {
  mMenus.push_back(menu);
  mFolderNames.push_back(folderName);
}

// Menus that are not registered are cleared too, so no stale tick survives
// in a main menu that lists banks without being registered.
void FolderMenuControl::clearAllTicks() {
  for (const auto& menu : mOwned) menu->CheckItemAlone(-1);
}

int FolderMenuControl::tickCount() const {
  int ticks = 0;
  for (const auto& menu : mOwned)
    for (int i = 0; i < menu->GetNItems(); ++i) ticks += menu->IsItemChecked(i) ? 1 : 0;
  return ticks;
}

bool FolderMenuControl::refreshFolderStructure(int selection, std::string fileName, std::string folderName) {
  mMenus.clear();
  mFolderNames.clear();
  mOwned.clear();
  mMainMenu = newMenu();
  PatchLibrarian* librarian = host().librarian();
  if (!librarian) return true;
  std::vector<int> matches;
  {
    auto lock = librarian->lock();
    if (mKind == FolderMenuKind::kCategory)
      buildCategories(selection, fileName, folderName);
    else if (mKind == FolderMenuKind::kSearch)
      buildSearch(selection, fileName, folderName);
    else
      buildFolderTree(selection, fileName, folderName);
    const int count = librarian->bankCount(bankList());
    for (int i = 0; i < count; ++i) {
      const auto bank = librarian->bankHeaderAt(bankList(), i);
      if (bank && bank->folderName == folderName && bank->fileName == fileName) matches.push_back(i);
    }
  }
  // Every match is applied in turn, so the last one stays.
  for (int i : matches) {
    applySelection(i);
    if (mKind != FolderMenuKind::kCategory && mKind != FolderMenuKind::kSearch) checkMenuItemAlone(i);
  }
  return true;
}

void FolderMenuControl::buildFolderTree(int selection, const std::string& fileName, const std::string& folderName) {
  const LibraryContents& library = host().librarian()->contents();
  const FolderTree& tree = bankList() == kMultiList ? library.multiTree : library.soundTree;
  ProvisionalTick tick{selection, fileName, folderName};
  int p = 0;
  for (size_t t = 0; t < tree.size(); ++t) {
    const FolderFiles& top = *tree[t];
    if (top.subFolders.empty()) {
      int k = 0;
      for (const PatchFile* bank : top.files) {
        mMainMenu->AddItem(bank->fileName.c_str(), -1, 0);
        tick.offer(mMainMenu, mMainMenu->GetNItems() - 1, *bank, kRootFolder, p + k++);
      }
      p += static_cast<int>(top.files.size());
      if (t + 1 == tree.size()) registerMenu(mMainMenu, kRootFolder);
      continue;
    }
    for (const SubFolderFiles& second : top.subFolders) {
      IPopupMenu* subMenu = newMenu();
      for (const SubFolderFiles2& third : second.subFolders) {
        IPopupMenu* subSubMenu = newMenu();
        int k = 0;
        for (const PatchFile* bank : third.files) {
          subSubMenu->AddItem(bank->fileName.c_str(), -1, 0);
          if (k + 1 == static_cast<int>(third.files.size())) subMenu->AddItem(third.name.c_str(), subSubMenu);
          tick.offer(subSubMenu, subSubMenu->GetNItems() - 1, *bank, bank->folderName, p + k++);
        }
        p += static_cast<int>(third.files.size());
        registerMenu(subSubMenu, third.name);
      }
      int k = 0;
      for (const PatchFile* bank : second.files) {
        subMenu->AddItem(bank->fileName.c_str(), -1, 0);
        if (k + 1 == static_cast<int>(second.files.size())) mMainMenu->AddItem(second.name.c_str(), subMenu);
        tick.offer(subMenu, subMenu->GetNItems() - 1, *bank, bank->folderName, p + k++);
      }
      p += static_cast<int>(second.files.size());
      registerMenu(subMenu, second.name);
    }
  }
}

void FolderMenuControl::buildCategories(int selection, const std::string& fileName, const std::string& folderName) {
  ProvisionalTick tick{selection, fileName, folderName};
  int p = 0;
  for (const auto& top : host().librarian()->contents().categoryTree) {
    for (const SubFolderFiles& category : top->subFolders) {
      IPopupMenu* subMenu = newMenu();
      int k = 0;
      for (const PatchFile* bank : category.files) {
        subMenu->AddItem(bank->fileName.c_str(), -1, 0);
        if (k + 1 == static_cast<int>(category.files.size())) mMainMenu->AddItem(category.name.c_str(), subMenu);
        tick.offer(subMenu, k, *bank, bank->folderName, p + k);
        ++k;
      }
      p += static_cast<int>(category.files.size());
      registerMenu(subMenu, category.name);
    }
  }
  // The main menu lists no bank; it is registered only to be cleared.
  registerMenu(mMainMenu, "");
}

void FolderMenuControl::buildSearch(int selection, const std::string& fileName, const std::string& folderName) {
  const FolderTree& tree = host().librarian()->contents().searchTree;
  ProvisionalTick tick{selection, fileName, folderName};
  int p = 0;
  for (size_t t = 0; t < tree.size(); ++t) {
    int k = 0;
    for (const PatchFile* bank : tree[t]->files) {
      mMainMenu->AddItem(bank->fileName.c_str(), -1, 0);
      tick.offer(mMainMenu, p + k, *bank, kRootFolder, p + k);
      ++k;
    }
    p += static_cast<int>(tree[t]->files.size());
    if (t + 1 == tree.size()) registerMenu(mMainMenu, kRootFolder);
  }
}

void FolderMenuControl::applySelection(int index) {
  const int parameter = pane() == 0 ? kPatchSelectionListUpper : kPatchSelectionListLower;
  if (IParam* param = host().paramAt(parameter)) param->Set(index);
  host().setParameterFromPlug(parameter, index, false);
  BrowseState& state = host().browseState();
  if (IControl* list = pane() == 0 ? state.upperSelectionListControl : state.lowerSelectionListControl)
    list->SetValueFromPlug(index);
  if (PatchLibrarian* librarian = host().librarian())
    (pane() == 0 ? librarian->upperBank : librarian->lowerBank) = index;
}

void FolderMenuControl::checkMenuItemAlone(int index) {
  PatchLibrarian* librarian = host().librarian();
  if (!librarian) return;
  auto lock = librarian->lock();
  const auto bank = librarian->bankHeaderAt(bankList(), index);
  if (!bank) return;
  clearAllTicks();
  bool ticked = false;
  for (size_t i = 0; i < mMenus.size(); ++i) {
    IPopupMenu* menu = mMenus[i];
    if (ticked || mFolderNames[i].empty() || mFolderNames[i] != bank->folderName) continue;
    for (int j = 0; j < menu->GetNItems(); ++j) {
      if (bank->fileName == menu->GetItemText(j)) {
        menu->CheckItemAlone(j);
        ticked = true;
        break;
      }
    }
  }
}

int FolderMenuControl::doPopupMenu(int& selection) {
  IRECT rect = *GetRECT();
  IPopupMenu* chosen = host().CreateIPopupMenu(mMainMenu, &rect);
  if (!chosen) return -1;
  std::string pickedText, pickedFolder;
  bool matched = false;
  clearAllTicks();
  for (size_t i = 0; i < mMenus.size(); ++i) {
    IPopupMenu* menu = mMenus[i];
    if (matched || menu != chosen) continue;
    matched = true;
    const int entry = chosen->GetChosenItemIdx();
    if (entry < 0 || entry >= chosen->GetNItems()) continue;
    chosen->CheckItemAlone(entry);
    pickedText = chosen->GetItemText(entry);
    pickedFolder = mFolderNames[i];
    if (PatchLibrarian* librarian = host().librarian()) {
      auto lock = librarian->lock();
      const int count = librarian->bankCount(bankList());
      for (int b = 0; b < count; ++b) {
        const auto bank = librarian->bankHeaderAt(bankList(), b);
        if (bank && bank->folderName == pickedFolder && bank->fileName == pickedText) {
          selection = b;
          break;
        }
      }
    }
  }
  const Names names = pickNames();
  std::lock_guard<std::mutex> lock(host().browseState().namesMutex);
  *names.file = pickedText;
  *names.folder = pickedFolder;
  return selection;
}

void FolderMenuControl::OnMouseDown(int, int, IMouseMod*) {
  if (mKind == FolderMenuKind::kPerfBankName || mKind == FolderMenuKind::kProgBankName)
    clickBankNameMenu();
  else
    clickPaneMenu();
}

void FolderMenuControl::clickPaneMenu() {
  PatchLibrarian* librarian = host().librarian();
  if (!librarian) return;
  mSelection = pane() == 0 ? librarian->upperBank : librarian->lowerBank;
  doPopupMenu(mSelection);
  mBrowser->showPaneBank(pane(), mSelection);
  SetRedraw();
  SetDirty(true);
}

// Only a pick acts: a menu dismissed, or one with nothing to list (which
// does not open), changes nothing and sends nothing.
void FolderMenuControl::clickBankNameMenu() {
  PatchLibrarian* librarian = host().librarian();
  if (!librarian || !mMainMenu || mMainMenu->GetNItems() == 0) return;
  mSelection = librarian->upperBank;
  const int shown = mSelection;
  const Names names = pickNames();
  std::string file, folder;
  {
    std::lock_guard<std::mutex> lock(host().browseState().namesMutex);
    file = *names.file;
    folder = *names.folder;
  }
  // The tick shows the bank the upper pane edits now, whichever road changed it.
  checkMenuItemAlone(shown);
  if (doPopupMenu(mSelection) < 0) return;
  // A bank whose slot of the part's program would send nothing, or that
  // another part plays, is no pick: the status line or the conflict window
  // says why, and the menu and its names stay as they were.
  const int part = host().currentPart();
  const IParam* program = host().paramAt(host().multiMode() ? int(kMultiPatch) : kMultiPartPatch + part);
  if (mBrowser->refuseLibraryPick(program ? program->Int() : 0, 0, part, mSelection)) {
    {
      std::lock_guard<std::mutex> lock(host().browseState().namesMutex);
      *names.file = file;
      *names.folder = folder;
    }
    mSelection = shown;
    checkMenuItemAlone(shown);
    return;
  }
  if (IParam* param = host().paramAt(kPatchSelectionListUpper)) param->Set(mSelection);
  if (IControl* list = host().browseState().upperSelectionListControl) list->SetValueFromPlug(mSelection);
  librarian->upperBank = mSelection;
  LibrarianViewControl* view = mBrowser->view;
  // Also off the librarian page: the slots show the names of the bank that
  // drops, renames and sends act on, whenever the page is seen again.
  if (view) {
    view->SetRedraw();
    view->patchSelectionUpperChanged();
  }
  mBrowser->updateBankAndProgramMenuNames(mKind == FolderMenuKind::kProgBankName);
  if (view) {
    // The picked bank is the upper pane's, and its highlighted slot is the
    // one sent: the upper pane becomes the one the keys work in.
    view->activePane = 0;
    librarian->targetSlot = view->cursor;
    mBrowser->sendPatchToDeviceFromLibrarian(view->cursor, 0, host().currentPart());
  }
  SetRedraw();
  SetDirty(true);
}

bool FolderMenuControl::Draw(IGraphics* graphics) {
  IColor transparent(0, 0, 0, 0);
  IRECT rect = *GetRECT();
  graphics->FillIRect(&transparent, &rect, nullptr);
  return true;
}
