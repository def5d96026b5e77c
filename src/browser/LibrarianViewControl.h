// The librarian's slot view: two panes of 128 name slots. The upper pane
// shows the bank being edited, the lower one the bank being browsed. It
// selects, sends, copies, pastes, drags and renames slots, and never writes
// a library entry itself: pastes, drops and renames go through the
// plug-in's receive path like a reply from the instrument.
#pragma once

#include <atomic>

#include <array>
#include <memory>
#include <string>

#include "IControls.h"
#include "SlotGrid.h"

class LibrarianBrowser;
class LibrarianHost;
class PatchLibrarian;
struct LibrarianPatch;

class LibrarianViewControl : public IBitmapOverlayControl {
 public:
  // x, y: the control's origin; bitmap: the panes' artwork, which also
  // gives the control its size; scale: the editor's size factor.
  LibrarianViewControl(IPlugBase* plug, LibrarianBrowser* browser, int x, int y, int paramIdx, IBitmap* bitmap,
                       IRECT targetRect, double scale);
  ~LibrarianViewControl() override;

  // ---- Pane reloads: the 128 slot texts from the pane's bank.
  void patchSelectionUpperChanged();
  void patchSelectionLowerChanged();

  // ---- The slot menus' operations, with the right click's point.
  void renameSlot(int x, int y);
  void CopySlotData(int x, int y);
  void PasteSlotData(int x, int y);

  // ---- Input and drawing.
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
  void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
  void OnMouseUp(int x, int y, IMouseMod* mod) override;
  bool OnKeyDown(int x, int y, int key) override;
  bool Draw(IGraphics* graphics) override;

  // The same input without the framework's records.
  void mouseDown(int x, int y, bool left, bool right);
  void mouseDblClick(int x, int y);
  void mouseDrag(int x, int y);
  void mouseUp(int x, int y);
  bool keyDown(int key);

  const SlotGrid& grid() const { return mGrid; }
  std::string slotText(int pane, int slot) const;
  // The drag box, centred on the pointer while dragging, and the name it shows.
  const SlotBox& dragBox() const { return mDragBox; }
  const std::string& dragName() const { return mDragName; }
  bool dragging() const { return mDragging; }
  int copySourceSlot() const { return mCopySourceSlot; }
  bool renameActive() const { return mRenameActive; }
  // Cancels a rename and closes its box.
  void closeRename();
  // The slot becomes the upper selection and the arrow keys' cursor, and the
  // upper pane the one they work in, as a click on the slot makes them.
  void takeUpperSlot(int slot);

  // ---- State others write (the program menu, the tab switch, the plug-in).
  bool dragEnabled = false;
  int selectedUpper = -1;
  int selectedLower = -1;
  // Read by the instrument's input thread for its reports' picks.
  std::atomic<int> activePane{0};
  int cursor = 0;

  // ---- A slot a job selects: the job hands it over and the window's thread,
  // the one writer of the selection, takes it at its next idle or drawing.
  void handSlot(int pane, int slot) { mHandedSlot = pane * 256 + (slot < 0 ? 0 : slot + 1); }
  // Forgets a slot handed over: the window's thread selected a newer one.
  void dropHandedSlot() { mHandedSlot = -1; }
  // True when a handed slot was taken.
  bool takeHandedSlot();

 private:
  std::atomic<int> mHandedSlot{-1};
  LibrarianHost& host() const;
  PatchLibrarian* librarian() const;
  void markDirty();
  // Hit-tests both panes into the selections; layer changes as a left click.
  void selectUnder(int x, int y, bool changeActivePane, bool changeLayers);
  void reload(int pane);
  // A copy of the entry in that slot of the bank the pane shows now; false
  // when there is none.
  bool entryAt(int pane, int slot, LibrarianPatch* entry) const;
  void feed(const LibrarianPatch& entry);

  LibrarianBrowser* mBrowser;
  SlotGrid mGrid;
  std::array<std::array<std::unique_ptr<ITextControl>, kSlotsPerPane>, 2> mSlots;
  SlotBox mDragBox;
  bool mDragging = false;
  // The slot the left button went down on, -1 for none: what a drag takes.
  int mPressedPane = 0;
  int mPressedSlot = -1;
  int mDragPane = 0;
  int mDragSlot = -1;
  std::string mDragName;
  IText mDragText;
  int mCellWidth;
  int mCellHeight;
  // The entries of each pane's bank at its last reload.
  std::array<int, 2> mEntries{};
  int mCopySourceSlot = -1;
  int mCopyMade = -1;
  bool mRenameActive = false;
};
