// The layer's combo box classes. Both keep the style word that SetWindowLong
// writes, and a redraw marks the dialog around them.
#pragma once

#include <vector>

#include "HwndView.h"
#include "Swell.h"
#include "model/Controls.h"

template <class Base>
class SwellComboControl : public SwellRedrawMarking<Base> {
 public:
  using SwellRedrawMarking<Base>::SwellRedrawMarking;
  bool getSwellStyle(LONG_PTR* out) override {
    *out = m_style;
    return true;
  }
  bool setSwellStyle(LONG_PTR v) override {
    m_style = long(v);
    return true;
  }
  long m_style = 0;
};

// An editable combo box with one pointer-sized value per item.
class Swell_vTarnivex_cbox : public SwellComboControl<winsys::ComboBox> {
 public:
  using SwellComboControl::SwellComboControl;
  std::vector<LONG_PTR> m_ids;
};

// A drop-down list: a pop-up button whose items carry their value in a holder.
class Swell_vTarnivex_pub : public SwellComboControl<winsys::PopUpButton> {
 public:
  using SwellComboControl::SwellComboControl;
};
