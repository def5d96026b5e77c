// The layer's combo box classes.
#pragma once

#include <vector>

#include "Swell.h"
#include "model/Controls.h"

// An editable combo box with one pointer-sized value per item.
class Swell_vTarnivex_cbox : public winsys::ComboBox {
 public:
  using ComboBox::ComboBox;
  bool getSwellStyle(LONG_PTR* out) override {
    *out = m_style;
    return true;
  }
  long m_style = 0;
  std::vector<LONG_PTR> m_ids;
};

// A drop-down list: a pop-up button whose items carry their value in a holder.
class Swell_vTarnivex_pub : public winsys::PopUpButton {
 public:
  using PopUpButton::PopUpButton;
  bool getSwellStyle(LONG_PTR* out) override {
    *out = m_style;
    return true;
  }
  long m_style = 0;
};
