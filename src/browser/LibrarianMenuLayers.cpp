#include "LibrarianMenuLayers.h"

#include "EditMenus.h"
#include "FolderMenuControl.h"
#include "LibrarianBrowser.h"
#include "TopBarMenus.h"

namespace {
enum class Menu { kFolder, kBankEdit, kProgramNumber, kBankNumber };

struct MenuLayerEntry {
  int id;
  const char* name;
  Menu menu;
  FolderMenuKind kind;  // for the folder menus
  int L, T, R, B;       // before scaling
};

constexpr int kUpper[] = {394, 138, 810, 157};
constexpr int kLower[] = {394, 410, 810, 429};
constexpr int kTopBarBank[] = {1142, 60, 1180, 84};

const MenuLayerEntry kMenuLayers[] = {
    {70, "UPPERPOPUPMENU", Menu::kFolder, FolderMenuKind::kLeftPatch, kUpper[0], kUpper[1], kUpper[2], kUpper[3]},
    {71, "LOWERPOPUPMENU", Menu::kFolder, FolderMenuKind::kRightPatch, kLower[0], kLower[1], kLower[2], kLower[3]},
    {72, "LeftPerformancePopupMenu", Menu::kFolder, FolderMenuKind::kLeftPerf, kUpper[0], kUpper[1], kUpper[2],
     kUpper[3]},
    {73, "RightPerformancePopupMenu", Menu::kFolder, FolderMenuKind::kRightPerf, kLower[0], kLower[1], kLower[2],
     kLower[3]},
    {74, "BANKEDITMENU", Menu::kBankEdit, {}, 839, 137, 916, 155},
    {75, "RightPatchPopupMenu", Menu::kFolder, FolderMenuKind::kCategory, kLower[0], kLower[1], kLower[2], kLower[3]},
    {76, "PROGRAMNUMBERMENU", Menu::kProgramNumber, {}, 1184, 60, 1229, 84},
    {77,
     "BANKNUMBERMENUPROGRAMS",
     Menu::kBankNumber,
     {},
     kTopBarBank[0],
     kTopBarBank[1],
     kTopBarBank[2],
     kTopBarBank[3]},
    {78, "RightSearchPopupMenu", Menu::kFolder, FolderMenuKind::kSearch, kLower[0], kLower[1], kLower[2], kLower[3]},
    {79, "PERFBANKNAMEMENUPROGRAMS", Menu::kFolder, FolderMenuKind::kPerfBankName, kTopBarBank[0], kTopBarBank[1],
     kTopBarBank[2], kTopBarBank[3]},
    {80, "PROGBANKNAMEMENUPROGRAMS", Menu::kFolder, FolderMenuKind::kProgBankName, kTopBarBank[0], kTopBarBank[1],
     kTopBarBank[2], kTopBarBank[3]},
};

FolderMenuControl** folderSlot(LibrarianBrowser& browser, FolderMenuKind kind) {
  switch (kind) {
    case FolderMenuKind::kLeftPatch: return &browser.leftPatchMenu;
    case FolderMenuKind::kRightPatch: return &browser.rightPatchMenu;
    case FolderMenuKind::kLeftPerf: return &browser.leftPerfMenu;
    case FolderMenuKind::kRightPerf: return &browser.rightPerfMenu;
    case FolderMenuKind::kCategory: return &browser.categoryMenu;
    case FolderMenuKind::kSearch: return &browser.searchMenu;
    case FolderMenuKind::kPerfBankName: return &browser.perfBankNameMenu;
    case FolderMenuKind::kProgBankName: return &browser.progBankNameMenu;
  }
  return nullptr;
}
}  // namespace

std::vector<std::unique_ptr<ControlLayer>> makeLibrarianMenuLayers(IPlugBase* plug, LibrarianBrowser& browser,
                                                                   double scale) {
  std::vector<std::unique_ptr<ControlLayer>> layers;
  for (const MenuLayerEntry& entry : kMenuLayers) {
    const IRECT rect(static_cast<int>(entry.L * scale), static_cast<int>(entry.T * scale),
                     static_cast<int>(entry.R * scale), static_cast<int>(entry.B * scale));
    auto layer = std::make_unique<ControlLayer>(entry.id, entry.name);
    switch (entry.menu) {
      case Menu::kFolder: {
        auto control = std::make_unique<FolderMenuControl>(plug, &browser, rect, entry.kind);
        *folderSlot(browser, entry.kind) = control.get();
        layer->AttachControl(std::move(control));
        break;
      }
      case Menu::kBankEdit: {
        auto control = std::make_unique<BankEditPopupMenu>(plug, &browser, rect);
        browser.bankEditMenu = control.get();
        layer->AttachControl(std::move(control));
        break;
      }
      case Menu::kProgramNumber: {
        auto control = std::make_unique<ProgramNumberPopupMenu>(plug, &browser, rect);
        browser.programNumberMenu = control.get();
        layer->AttachControl(std::move(control));
        break;
      }
      case Menu::kBankNumber: {
        auto control = std::make_unique<BankNumberPopupMenu>(plug, &browser, rect);
        browser.bankNumberMenu = control.get();
        layer->AttachControl(std::move(control));
        break;
      }
    }
    layer->Hide(true);
    layers.push_back(std::move(layer));
  }
  return layers;
}
