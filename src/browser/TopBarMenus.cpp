#include "TopBarMenus.h"

#include <cstdio>
#include <string>
#include <vector>

#include "IGraphics.h"
#include "IParam.h"
#include "LibrarianBrowser.h"
#include "LibrarianJobs.h"
#include "LibrarianViewControl.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"

namespace {
void drawInvisible(IGraphics* graphics, const IRECT* rect) {
  IColor transparent(0, 0, 0, 0);
  IRECT r = *rect;
  graphics->FillIRect(&transparent, &r, nullptr);
}

int intValue(LibrarianHost& host, int index) {
  const IParam* param = host.paramAt(index);
  return param ? param->Int() : 0;
}

// A bank or program picked in the top bar: after its change went out the
// instrument plays a stored sound (in multi mode a stored multi and its
// sounds); the editor asks for it, or without that choice sends its own
// after it.
void pickFromTopBar(LibrarianHost& host, int part, int bank, int program, bool multi) {
  Pick pick;
  pick.slot = part;
  pick.bank = bank;
  pick.program = program;
  pick.editorsSoundAfter = true;
  pick.silenceFirst = false;
  host.handPick(std::move(pick), multi);
}

constexpr const char* kRangeTitles[] = {"01-10", "11-20", "21-30", "31-40", "41-50",
                                        "51-60", "61-70", "71-80", "81-90", "91-100"};
}  // namespace

// ---- Bank menu.

BankNumberPopupMenu::BankNumberPopupMenu(IPlugBase* plug, LibrarianBrowser* browser, IRECT rect)
    : IControl(plug, &rect, -1), mBrowser(browser) {
  refreshPatchNames(0);
}

LibrarianHost& BankNumberPopupMenu::host() const { return *mBrowser->host(); }

int BankNumberPopupMenu::bankParameter() const {
  return host().multiMode() ? int(kMultiBank) : kMultiPartBank + host().currentPart();
}

bool BankNumberPopupMenu::refreshPatchNames(int bank) {
  mMenu = std::make_unique<IPopupMenu>();
  if (host().multiMode()) {
    mMenu->AddItem("Bank 0 (RAM)", -1, 0);
    return false;
  }
  for (const char* name : {"Bank A (RAM)", "Bank B (RAM)", "Bank C (RAM)"}) mMenu->AddItem(name, -1, 0);
  mMenu->CheckItemAlone(bank < 3 ? bank : 3);
  return true;
}

int BankNumberPopupMenu::doPopupMenu(int& bank) {
  IRECT rect = *GetRECT();
  IPopupMenu* chosen = host().CreateIPopupMenu(mMenu.get(), &rect);
  const bool multi = host().multiMode();
  const int part = host().currentPart();
  const int parameter = bankParameter();
  const int shown = intValue(host(), parameter);
  // A pick that would not go out, or that another part plays, is no pick:
  // the status line or the conflict window says why.
  if (chosen == mMenu.get() &&
      (mBrowser->refuseUnsentChange(part, multi) ||
       host().refusePartPick(part, chosen->GetChosenItemIdx(), intValue(host(), kMultiPartPatch + part)))) {
    refreshPatchNames(shown);
    return 0;
  }
  if (chosen) mMenu->CheckItemAlone(-1);
  if (chosen != mMenu.get()) return 0;
  bank = chosen->GetChosenItemIdx();
  mMenu->CheckItemAlone(bank);
  // Shown and recorded as its program change goes out.
  pickFromTopBar(host(), part, bank, intValue(host(), multi ? int(kMultiPatch) : kMultiPartPatch + part), multi);
  return bank;
}

void BankNumberPopupMenu::OnMouseDown(int, int, IMouseMod*) {
  mCurrentBank = intValue(host(), bankParameter());
  // The tick shows the bank as it is now, also after a change refused on
  // its way.
  refreshPatchNames(mCurrentBank);
  doPopupMenu(mCurrentBank);
  host().setParameterFromPlug(bankParameter(), intValue(host(), bankParameter()), false);
  SetRedraw();
  SetDirty(true);
}

bool BankNumberPopupMenu::Draw(IGraphics* graphics) {
  drawInvisible(graphics, GetRECT());
  return true;
}

// ---- Program menu.

ProgramNumberPopupMenu::ProgramNumberPopupMenu(IPlugBase* plug, LibrarianBrowser* browser, IRECT rect)
    : IControl(plug, &rect, -1), mBrowser(browser) {
  refreshPatchNames(0);
}

LibrarianHost& ProgramNumberPopupMenu::host() const { return *mBrowser->host(); }

bool ProgramNumberPopupMenu::refreshPatchNames(int program) {
  mMain = std::make_unique<IPopupMenu>();
  for (auto& sub : mSub) sub = std::make_unique<IPopupMenu>();
  if (host().libraryControl()) {
    // The upper bank's entry names; a missing bank or entry shows empty.
    std::vector<std::string> names(100);
    if (PatchLibrarian* librarian = host().librarian()) {
      auto lock = librarian->lock();
      const int index = intValue(host(), kPatchSelectionListUpper);
      if (auto bank = librarian->bankAt(host().multiMode() ? kMultiList : kSoundList, index))
        for (size_t i = 0; i < names.size() && i < bank->patches.size(); ++i) names[i] = bank->patches[i].name;
    }
    for (size_t i = 0; i < names.size(); ++i) mSub[i / 10]->AddItem(names[i].c_str(), -1, 0);
    for (int k = 0; k < kSubmenus; ++k) mMain->AddItem(kRangeTitles[k], mSub[static_cast<size_t>(k)].get());
  } else {
    for (int k = 0; k < kSubmenus; ++k) {
      for (int i = 1; i <= 10; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "Sound %03d", 10 * k + i);
        mSub[static_cast<size_t>(k)]->AddItem(name, -1, 0);
      }
      mMain->AddItem(kRangeTitles[k], mSub[static_cast<size_t>(k)].get());
    }
  }
  if (program >= 0 && program <= 99) mSub[static_cast<size_t>(program / 10)]->CheckItemAlone(program % 10);
  return true;
}

int ProgramNumberPopupMenu::doPopupMenu(int& program) {
  IRECT rect = *GetRECT();
  const bool multi = host().multiMode();
  const int part = host().currentPart();
  const int parameter = multi ? int(kMultiPatch) : kMultiPartPatch + part;
  const int shown = intValue(host(), parameter);
  // The tick shows the program as it is now, also after a change refused on
  // its way.
  refreshPatchNames(shown);
  IPopupMenu* chosen = host().CreateIPopupMenu(mMain.get(), &rect);
  int k = -1;
  for (int i = 0; i < kSubmenus; ++i)
    if (chosen && chosen == mSub[static_cast<size_t>(i)].get()) k = i;
  // In library mode the pick sends the upper slot of that number.
  const int picked = k >= 0 ? 10 * k + chosen->GetChosenItemIdx() : -1;
  // An upper slot that would send nothing, a change that would not go out,
  // or a pick refused for a conflict, is no pick: the status line or the
  // conflict window says why.
  bool refused = false;
  if (k >= 0 && host().libraryControl()) {
    refused = mBrowser->refuseLibraryPick(picked, 0, part);
  } else if (k >= 0) {
    // A multi is no part's pair: no part's conflict refuses it.
    refused = mBrowser->refuseUnsentChange(part, multi) ||
              (!multi && host().refusePartPick(part, host().bankOfNextPick(part), picked));
  }
  if (refused) {
    refreshPatchNames(shown);
    return 0;
  }
  if (chosen) {
    mMain->CheckItemAlone(-1);
    for (auto& sub : mSub) sub->CheckItemAlone(-1);
  }
  if (k < 0) return 0;
  const int entry = chosen->GetChosenItemIdx();
  program = 10 * k + entry;
  if (host().libraryControl()) {
    // The upper slot of that number goes; the program shows it once the
    // instrument took it.
    if (LibrarianViewControl* view = mBrowser->view) view->takeUpperSlot(program);
    if (PatchLibrarian* librarian = host().librarian()) librarian->targetSlot = program;
    mBrowser->sendPatchToDeviceFromLibrarian(program, 0, part);
  } else {
    pickFromTopBar(host(), part, -1, program, multi);
  }
  chosen->CheckItemAlone(entry);
  program = entry;
  return 10 * k + entry;
}

void ProgramNumberPopupMenu::OnMouseDown(int, int, IMouseMod*) {
  doPopupMenu(mCurrentProgram);
  SetRedraw();
  SetDirty(true);
}

bool ProgramNumberPopupMenu::Draw(IGraphics* graphics) {
  drawInvisible(graphics, GetRECT());
  return true;
}
