// Sub-page selection by bands of layer ids.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ControlLayer.h"

namespace {
// A part page with sub-layers of the given ids, shown or (as created)
// hidden; the result of showMultiLayers(n) as one letter per sub-layer.
std::string after(const std::vector<int>& ids, int n, bool shown = true) {
  ControlLayer page(0, "page");
  for (int id : ids) page.AttachLayer(std::make_unique<ControlLayer>(id, std::to_string(id)))->Hide(!shown);
  page.showMultiLayers(n);
  EXPECT_EQ(page.selectedNumber, n);
  std::string letters;
  for (const auto& sub : page.subLayers()) letters += sub->IsHidden() ? 'h' : 's';
  return letters;
}

TEST(MultiLayerPagesTest, BandTable) {
  const std::vector<int> ids = {-1, 5, 10, 11, 12, 20, 22, 69, 70, 75, 100, 109, 110, 119, 120, 299, 300, 307};
  struct Row {
    int n;
    const char* expected;  // one letter per id above
  };
  const Row table[] = {
      {12, "hhhhsssshhhhhhhhss"},  {22, "hhssshsssssssshhss"},  {69, "hhsssssssssssshhss"},
      {75, "hhsssssshssssshhss"},  {100, "hhssssssssshsshhss"}, {108, "hhsssssssshhsshhss"},
      {110, "hhssssssssssshssss"}, {118, "hhsssssssssshhssss"}, {150, "ssssssssssssssssss"},
      {307, "hhsssssssssssssshs"}, {300, "hhsssssssssssssssh"}, {5, "ssssssssssssssssss"},
      {109, "ssssssssssssssssss"}, {119, "ssssssssssssssssss"}, {299, "ssssssssssssssssss"},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.n);
    EXPECT_EQ(after(ids, row.n), row.expected);
  }
  // The all-shown band brings back free layers and 120..299 only.
  EXPECT_EQ(after(ids, 150, false), "sshhhhhhhhhhhhsshh");
}
}  // namespace
