// Where the two panes of the librarian's slot view lie in its image, at size
// 1.0; the slot grid sets its rows inside them. The image generator draws
// them, and the layout check knows that the view takes clicks on them only.
#pragma once

namespace librarianpanes {
constexpr int kSlotInset = 4;  // the slots keep clear of the panes' frames
constexpr int kWidth = 1036 + 2 * kSlotInset;
constexpr int kPaneHeight = 226;
constexpr int kLowerTop = 273;
constexpr int kHeight = kLowerTop + kPaneHeight;
}  // namespace librarianpanes
