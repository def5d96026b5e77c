// Where the two panes of the librarian's slot view lie, at size 1.0: the
// view's place on the page (resources/ui/layout.ui puts it there) and the
// panes in its image. The slot grid sets its rows inside them; the image
// generator draws them and frames them on the page.
#pragma once

namespace librarianpanes {
constexpr int kViewX = 90;   // on the window
constexpr int kViewY = 208;
constexpr int kWidth = 1036;
constexpr int kPaneHeight = 226;
constexpr int kLowerTop = 273;
constexpr int kHeight = kLowerTop + kPaneHeight;
}  // namespace librarianpanes
