#include "LibrarianViewControl.h"

#include <algorithm>
#include <vector>

#include "IGraphics.h"
#include "IMidiMsg.h"
#include "IParam.h"
#include "LibrarianBrowser.h"
#include "PaneBanks.h"
#include "ParamIndex.h"
#include "PatchFile.h"
#include "PatchLibrarian.h"
#include "TextLooks.h"

namespace {
constexpr const char* kRenameLayer = "patchRename";
constexpr const char* kSaveChangesLayer = "saveChangesLayer";
}  // namespace

namespace {
const IColor kHighlight(255, 225, 225, 225);
}  // namespace

LibrarianViewControl::LibrarianViewControl(IPlugBase* plug, LibrarianBrowser* browser, int x, int y, int paramIdx,
                                           IBitmap* bitmap, IRECT targetRect, double scale)
    : IBitmapOverlayControl(plug, x, y, paramIdx, bitmap, targetRect),
      mBrowser(browser),
      mGrid(x, y, scale),
      mCellWidth(static_cast<int>(105.0 * scale)),
      mCellHeight(static_cast<int>(14.0 * scale)) {
  // White on the librarian's own dark page, in every scheme.
  const textlooks::Text look{textlooks::Kind::kLibrarianSlot};
  const textlooks::Colour c = textlooks::colour(look, 0, scale);
  const IColor white(c.a, c.r, c.g, c.b);
  const IText text(textlooks::size(look, scale), &white, "NK57 Monospace", IText::kStyleNormal, IText::kAlignNear, 0,
                   IText::kQualityDefault);
  mDragText = text;
  mDragText.mColor = IColor(255, 0, 0, 0);
  for (int pane = 0; pane < 2; ++pane) {
    for (int i = 0; i < kSlotsPerPane; ++i) {
      const SlotBox& b = mGrid.box(pane, i);
      auto& slot = mSlots[static_cast<size_t>(pane)][static_cast<size_t>(i)];
      slot = std::make_unique<ITextControl>(plug, IRECT(b.L, b.T, b.R, b.B), &text, "");
      slot->SetTextFromPlug("");
    }
    if (pane == 0)
      patchSelectionUpperChanged();
    else
      patchSelectionLowerChanged();
  }
  // The rows' corrections at the other sizes reach a pixel or two past the
  // artwork's scaled rectangle: every slot takes clicks over its whole box.
  const SlotBox &first = mGrid.box(0, 0), &last = mGrid.box(1, kSlotsPerPane - 1);
  const IRECT slots(first.L, first.T, last.R, last.B);
  mTargetArea = mTargetArea.Union(slots);
  SetTargetArea(GetTargetRECT()->Union(slots));
}

LibrarianViewControl::~LibrarianViewControl() = default;

LibrarianHost& LibrarianViewControl::host() const { return *mBrowser->host(); }
PatchLibrarian* LibrarianViewControl::librarian() const { return host().librarian(); }

void LibrarianViewControl::markDirty() { SetDirty(true); }

std::string LibrarianViewControl::slotText(int pane, int slot) const {
  return mSlots[static_cast<size_t>(pane)][static_cast<size_t>(slot)]->GetText();
}

void LibrarianViewControl::patchSelectionUpperChanged() {
  reload(0);
  // A bank open in both panes (the only one of a new library) shows the
  // same entries below as above.
  PatchLibrarian* lib = librarian();
  if (!lib || !mSlots[1][0]) return;  // the constructor builds the lower slots after this
  bool shared = false;
  {
    auto lock = lib->lock();
    const auto upper = paneBank(*lib, host().browseState(), 0);
    shared = upper && upper == paneBank(*lib, host().browseState(), 1);
  }
  if (shared) reload(1);
}
void LibrarianViewControl::patchSelectionLowerChanged() { reload(1); }

void LibrarianViewControl::reload(int pane) {
  markDirty();
  PatchLibrarian* lib = librarian();
  if (!lib) return;
  // A pane with no bank (none of that data type, or none at its position)
  // shows no slots rather than another bank's names.
  std::vector<std::string> names;
  {
    auto lock = lib->lock();
    if (const auto bank = paneBank(*lib, host().browseState(), pane))
      for (const LibrarianPatch& entry : bank->patches) names.push_back(entry.name);
  }
  mEntries[static_cast<size_t>(pane)] = static_cast<int>(names.size());
  for (int i = 0; i < kSlotsPerPane; ++i) {
    const size_t at = static_cast<size_t>(i);
    mSlots[static_cast<size_t>(pane)][at]->SetTextFromPlug(at < names.size() ? names[at].c_str() : "");
  }
}

void LibrarianViewControl::closeRename() {
  mRenameActive = false;
  host().browseState().bankEditFlag = true;
  // A cancelled rename leaves no box open that would take a name for nothing.
  host().hideLayer(kRenameLayer, true);
}

bool LibrarianViewControl::takeHandedSlot() {
  const int handed = mHandedSlot.exchange(-1);
  if (handed < 0) return false;
  const int pane = handed / 256, slot = handed % 256 - 1;
  (pane == 0 ? selectedUpper : selectedLower) = slot;
  cursor = slot;
  SetDirty(false);
  return true;
}

void LibrarianViewControl::takeUpperSlot(int slot) {
  dropHandedSlot();  // the user's pick is newer than a job's
  selectedUpper = slot;
  cursor = slot;
  activePane = 0;
  host().grayOutLayer(kSaveChangesLayer, false);
  SetDirty(false);
}

void LibrarianViewControl::selectUnder(int x, int y, bool changeActivePane, bool changeLayers) {
  dropHandedSlot();  // the user's pick is newer than a job's
  selectedUpper = -1;
  selectedLower = -1;
  const int upper = mGrid.hit(0, x, y);
  const int lower = mGrid.hit(1, x, y);
  if (upper >= 0) {
    selectedUpper = upper;
    if (changeActivePane) activePane = 0;
    if (changeLayers) host().grayOutLayer(kSaveChangesLayer, false);
  }
  if (lower >= 0) {
    selectedLower = lower;
    if (changeActivePane) activePane = 1;
    if (changeLayers) host().grayOutLayer(kSaveChangesLayer, true);
  }
}

void LibrarianViewControl::mouseDown(int x, int y, bool left, bool right) {
  PatchLibrarian* lib = librarian();
  mPressedSlot = -1;
  if (right) {
    markDirty();
    selectUnder(x, y, true, true);
    if (lib) {
      lib->targetSlot = selectedUpper;
      lib->mSelectedLowerSlot = selectedLower;
    }
    if (selectedUpper >= 0)
      mBrowser->showFileEditMenu(x, y);
    else
      mBrowser->showFileCopyMenu(x, y);
    return;
  }
  if (!left) return;
  closeRename();
  markDirty();
  selectUnder(x, y, true, true);
  if (lib) {
    lib->targetSlot = selectedUpper;
    lib->mSelectedLowerSlot = selectedLower;
  }
  cursor = selectedUpper >= 0 ? selectedUpper : selectedLower;
  mPressedPane = selectedUpper >= 0 ? 0 : 1;
  mPressedSlot = cursor;
}

void LibrarianViewControl::mouseDblClick(int x, int y) {
  closeRename();
  markDirty();
  const IParam* device = host().paramAt(kDeviceOutSelection);
  if (!device || device->Int() == 0) return;
  selectUnder(x, y, true, true);
  const int hit = activePane == 0 ? selectedUpper : selectedLower;
  cursor = hit;
  // A slot that would send nothing says why on the status line.
  if (hit >= 0 && !mBrowser->refuseLibraryPick(hit, activePane, host().currentPart()))
    mBrowser->sendPatchToDeviceFromLibrarian(hit, activePane, host().currentPart());
}

bool LibrarianViewControl::keyDown(int key) {
  closeRename();
  const int next = slotAfterKey(cursor, key);
  if (next < 0) return false;
  cursor = next;
  (activePane == 0 ? selectedUpper : selectedLower) = next;
  markDirty();
  // The keys move through every slot; one that would send nothing says why.
  if (!mBrowser->refuseLibraryPick(next, activePane, host().currentPart()))
    mBrowser->sendPatchToDeviceFromLibrarian(next, activePane, host().currentPart());
  return true;
}

void LibrarianViewControl::mouseDrag(int x, int y) {
  mRenameActive = false;
  markDirty();
  if (!dragEnabled) return;
  mDragBox.L = x - mCellWidth / 2;
  mDragBox.T = y - mCellHeight / 2;
  mDragBox.R = mDragBox.L + mCellWidth;
  mDragBox.B = mDragBox.T + mCellHeight;
  if (mDragging || mPressedSlot < 0) return;
  // What moves is the slot the button went down on, wherever the first
  // movement has taken the pointer since.
  LibrarianPatch entry;
  if (!entryAt(mPressedPane, mPressedSlot, &entry) || entry.empty()) return;
  mDragging = true;
  mDragPane = mPressedPane;
  mDragSlot = mPressedSlot;
  mDragName = entry.name;
  if (mDragPane == 1) mCopySourceSlot = mDragSlot;
}

// A drop lands in the upper pane, the bank being edited, whichever pane the
// drag came from.
void LibrarianViewControl::mouseUp(int x, int y) {
  mRenameActive = false;
  markDirty();
  mPressedSlot = -1;
  if (!mDragging) return;
  mDragging = false;
  // The pane dropped into is the one the keys work in next, from the slot
  // dropped on.
  selectUnder(x, y, true, false);
  cursor = selectedUpper >= 0 ? selectedUpper : selectedLower;
  if (PatchLibrarian* lib = librarian()) lib->targetSlot = selectedUpper;
  if (selectedUpper < 0 || (mDragPane == 0 && mDragSlot == selectedUpper)) return;
  LibrarianPatch entry;
  if (entryAt(mDragPane, mDragSlot, &entry)) feed(entry);
}

void LibrarianViewControl::CopySlotData(int x, int y) {
  selectedLower = mGrid.hit(1, x, y);
  if (selectedLower >= 0) activePane = 1;
  if (PatchLibrarian* lib = librarian()) mCopyMade = lib->lowerBank;
  mCopySourceSlot = selectedLower;
}

void LibrarianViewControl::PasteSlotData(int x, int y) {
  markDirty();
  selectedUpper = mGrid.hit(0, x, y);
  if (selectedUpper >= 0) activePane = 0;
  if (PatchLibrarian* lib = librarian()) lib->targetSlot = selectedUpper;
  if (mCopyMade == -1) return;
  LibrarianPatch entry;
  if (entryAt(1, mCopySourceSlot, &entry)) feed(entry);
}

bool LibrarianViewControl::entryAt(int pane, int slot, LibrarianPatch* entry) const {
  PatchLibrarian* lib = librarian();
  if (!lib || slot < 0) return false;
  auto lock = lib->lock();
  const auto bank = paneBank(*lib, host().browseState(), pane);
  if (!bank || static_cast<size_t>(slot) >= bank->patches.size()) return false;
  *entry = bank->patches[static_cast<size_t>(slot)];
  return true;
}

void LibrarianViewControl::feed(const LibrarianPatch& entry) {
  // An empty slot brings nothing, and a slot past the bank is refused: the
  // bank stays as saved.
  if (entry.empty()) {
    host().showStatus("Slot not written!", "The slot copied holds no sound");
    return;
  }
  // Its completed bytes are made up: a copy would pass them off as a sound.
  if (!entry.whole()) {
    host().showStatus("Slot not written!", kNotAWholeDump);
    return;
  }
  if (!host().SetLibrarianRequestActive(true)) return;
  for (const PatchSysexMessage& message : entry.dumps) {
    std::vector<unsigned char> buffer = message.bytes;
    ISysEx sysex(0, buffer.data(), static_cast<int>(buffer.size()));
    host().ProcessSysEx(&sysex, true);
  }
  host().SetLibrarianStatusUnsaved(true);
}

void LibrarianViewControl::renameSlot(int, int) {
  mRenameActive = true;
  host().browseState().bankEditFlag = false;
  if (selectedUpper < 0) return;
  activePane = 0;
  PatchLibrarian* lib = librarian();
  if (!lib) return;
  std::string name;
  {
    auto lock = lib->lock();
    auto bank = paneBank(*lib, host().browseState(), 0);
    if (!bank) return;
    if (bank->patches.size() < static_cast<size_t>(kSlotsPerPane)) {
      bank = paneBankForEdit(*lib, host().browseState(), 0);
      bank->holdAt(kSlotsPerPane);
    }
    const LibrarianPatch& entry = bank->patches[static_cast<size_t>(selectedUpper)];
    if (entry.empty()) return;
    name = entry.name;
  }
  host().setParamDisplayText(kPatchRename, 0, name);
  host().hideLayer(kRenameLayer, false);
}

void LibrarianViewControl::OnMouseDown(int x, int y, IMouseMod* mod) { mouseDown(x, y, mod && mod->L, mod && mod->R); }
void LibrarianViewControl::OnMouseDblClick(int x, int y, IMouseMod*) { mouseDblClick(x, y); }
void LibrarianViewControl::OnMouseDrag(int x, int y, int, int, IMouseMod*) { mouseDrag(x, y); }
void LibrarianViewControl::OnMouseUp(int x, int y, IMouseMod*) { mouseUp(x, y); }
bool LibrarianViewControl::OnKeyDown(int, int, int key) { return keyDown(key); }

bool LibrarianViewControl::Draw(IGraphics* graphics) {
  takeHandedSlot();
  IBitmapControl::Draw(graphics);
  for (int pane = 0; pane < 2; ++pane) {
    // A selection beyond what the pane holds (a short search or category
    // result) marks no slot.
    const int held = std::min(mEntries[static_cast<size_t>(pane)], kSlotsPerPane);
    int selected = pane == 0 ? selectedUpper : selectedLower;
    if (selected >= held) selected = -1;
    if (selected >= 0) {
      const SlotBox& b = mGrid.box(pane, selected);
      IRECT r(b.L, b.T, b.R, b.B);
      graphics->FillIRect(&kHighlight, &r, nullptr);
    }
    for (int i = 0; i < kSlotsPerPane; ++i) {
      ITextControl& slot = *mSlots[static_cast<size_t>(pane)][static_cast<size_t>(i)];
      IColor& colour = slot.GetIText()->mColor;
      if (i == selected) colour.R = colour.G = colour.B = 0;
      slot.Draw(graphics);
      if (i == selected) colour.R = colour.G = colour.B = 255;
    }
  }
  if (mDragging) {
    IRECT r(mDragBox.L, mDragBox.T, mDragBox.R, mDragBox.B);
    graphics->FillIRect(&kHighlight, &r, nullptr);
    graphics->DrawIText(&mDragText, mDragName.c_str(), &r);
  }
  return true;
}
