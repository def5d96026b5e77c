// Combo boxes by item id: an editable combo box or a drop-down (pop-up button).
#include <strings.h>

#include <cstring>

#include "ComboBoxes.h"
#include "HwndView.h"
#include "Internal.h"

using namespace swell;

namespace {

winsys::ComboBox* comboOf(HWND h) { return dynamic_cast<winsys::ComboBox*>(h); }
winsys::PopUpButton* popupOf(HWND h) { return dynamic_cast<winsys::PopUpButton*>(h); }

std::vector<std::string> itemTexts(HWND c) {
  std::vector<std::string> out;
  if (auto* cb = comboOf(c)) out = cb->items();
  if (auto* pb = popupOf(c))
    for (auto& i : pb->items()) out.push_back(i.title);
  return out;
}

long styleOf(HWND c) {
  LONG_PTR s = 0;
  if (auto* v = asView(c); v && v->getSwellStyle(&s)) return long(s);
  return 0;
}

}  // namespace

int SWELL_CB_AddString(HWND hwnd, int id, const char* text) { return SWELL_CB_InsertString(hwnd, id, -1000, text); }

int SWELL_CB_InsertString(HWND hwnd, int id, int pos, const char* text) {
  HWND c = GetDlgItem(hwnd, id);
  if (!comboOf(c) && !popupOf(c)) return 0;
  std::string s = SWELL_CStringToCFString(text);
  std::vector<std::string> items = itemTexts(c);
  int n = int(items.size());
  int idx;
  if (pos == -1000) {
    idx = n;
    if (styleOf(c) & CBS_SORT) {
      idx = 0;
      int low = 0, count = n;
      while (count) {
        int mid = low + count / 2;
        int cmp = s.compare(items[size_t(mid)]);
        if (!cmp) {
          idx = mid;
          break;
        }
        if (cmp > 0) {
          if (mid + 1 == n) {
            idx = n;
            break;
          }
          if (s.compare(items[size_t(mid) + 1]) <= 0) {
            idx = mid + 1;
            break;
          }
          low = mid + 1;
          count = (count - 1) / 2;
        } else {
          count /= 2;
        }
      }
    }
  } else {
    idx = pos < 0 ? 0 : pos > n ? n : pos;
  }
  if (auto* cb = comboOf(c)) {
    cb->items().insert(cb->items().begin() + idx, s);
    if (auto* sc = dynamic_cast<Swell_vTarnivex_cbox*>(cb)) sc->m_ids.insert(sc->m_ids.begin() + idx, 0);
    cb->setNumberOfVisibleItems(n + 1);
  } else if (auto* pb = popupOf(c); pb->hasMenu()) {
    pb->items().insert(pb->items().begin() + idx, winsys::PopUpButton::Item{s, nullptr, true});
  }
  return idx;
}

void SWELL_CB_DeleteString(HWND hwnd, int id, int idx) {
  HWND c = GetDlgItem(hwnd, id);
  if (auto* cb = comboOf(c)) {
    if (idx < 0 || idx >= int(cb->items().size())) return;
    cb->items().erase(cb->items().begin() + idx);
    if (auto* sc = dynamic_cast<Swell_vTarnivex_cbox*>(cb); sc && idx < int(sc->m_ids.size()))
      sc->m_ids.erase(sc->m_ids.begin() + idx);
  } else if (auto* pb = popupOf(c)) {
    pb->removeItemAtIndex(idx);
  }
}

int SWELL_CB_GetNumItems(HWND hwnd, int id) {
  HWND c = GetDlgItem(hwnd, id);
  return int(itemTexts(c).size());
}

int SWELL_CB_GetCurSel(HWND hwnd, int id) {
  HWND c = GetDlgItem(hwnd, id);
  if (auto* cb = comboOf(c)) return cb->indexOfSelectedItem();
  if (auto* pb = popupOf(c)) return pb->indexOfSelectedItem();
  return -1;
}

void SWELL_CB_SetCurSel(HWND hwnd, int id, int idx) {
  HWND c = GetDlgItem(hwnd, id);
  if (idx < 0 || idx >= int(itemTexts(c).size())) return;
  if (auto* cb = comboOf(c)) cb->selectItemAtIndex(idx);
  if (auto* pb = popupOf(c)) pb->selectItemAtIndex(idx);
}

bool SWELL_CB_GetItemText(HWND hwnd, int id, int idx, char* buf, int len) {
  if (buf && len > 0) buf[0] = 0;
  HWND c = GetDlgItem(hwnd, id);
  std::vector<std::string> items = itemTexts(c);
  if (idx < 0 || idx >= int(items.size())) return false;
  SWELL_CFStringToCString(items[size_t(idx)], buf, len);
  return true;
}

void SWELL_CB_Empty(HWND hwnd, int id) {
  HWND c = GetDlgItem(hwnd, id);
  if (auto* cb = comboOf(c)) {
    cb->items().clear();
    if (auto* sc = dynamic_cast<Swell_vTarnivex_cbox*>(cb)) sc->m_ids.clear();
  } else if (auto* pb = popupOf(c)) {
    pb->removeAllItems();
  }
}

LONG_PTR SWELL_CB_GetItemData(HWND hwnd, int id, int idx) {
  HWND c = GetDlgItem(hwnd, id);
  if (auto* sc = dynamic_cast<Swell_vTarnivex_cbox*>(c))
    return idx >= 0 && idx < int(sc->items().size()) && idx < int(sc->m_ids.size()) ? sc->m_ids[size_t(idx)] : 0;
  if (auto* pb = popupOf(c)) {
    if (idx < 0 || idx >= int(pb->items().size())) return 0;
    auto* h = dynamic_cast<Swell_vTarnivex_sdh*>(pb->items()[size_t(idx)].representedObject);
    return h ? h->getValue() : 0;
  }
  return 0;
}

void SWELL_CB_SetItemData(HWND hwnd, int id, int idx, LONG_PTR value) {
  HWND c = GetDlgItem(hwnd, id);
  if (auto* sc = dynamic_cast<Swell_vTarnivex_cbox*>(c)) {
    if (idx >= 0 && idx < int(sc->items().size()) && idx < int(sc->m_ids.size())) sc->m_ids[size_t(idx)] = value;
  } else if (auto* pb = popupOf(c)) {
    auto* h = new Swell_vTarnivex_sdh(value);
    pb->setRepresentedObject(idx, h);
    h->release();
  }
}

int SWELL_CB_FindString(HWND hwnd, int id, int startAfter, const char* text, bool exact) {
  HWND c = GetDlgItem(hwnd, id);
  if (!comboOf(c) && !popupOf(c)) return 0;
  if (!text) text = "";
  std::vector<std::string> items = itemTexts(c);
  size_t tl = strlen(text);
  for (int i = startAfter < 0 ? 0 : startAfter + 1; i < int(items.size()); ++i) {
    char buf[4096];
    SWELL_CFStringToCString(items[size_t(i)], buf, sizeof buf);
    if (exact ? !strcasecmp(buf, text) : !strncasecmp(buf, text, tl)) return i;
  }
  return -1;
}
