// The compact forms an instance builds into: the sorted maps of the control
// indexes, prepared message lists, and the per-parameter slots that further
// instances take what the first one made from.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ControlIndexes.h"
#include "CopyOnWrite.h"
#include "FlatMap.h"
#include "ParamSlots.h"
#include "SysExMessageList.h"

namespace {
using Message = SysExMessageList::Message;

// Both forms of the map (entries in a vector; small plain entries, the first
// of them in place): keys in order, a lookup inserts nothing, copies and moves
// keep every entry.
template <class Value>
void CheckOrderedMap(const std::vector<Value>& values) {
  FlatMap<int, Value> map;
  const int keys[] = {5, -2, 9, 0, 5, 127};
  for (size_t i = 0; i < std::size(keys); ++i) map[keys[i]] = values[i];
  std::vector<int> seen;
  for (const auto& [key, value] : map) seen.push_back(key);
  EXPECT_EQ(seen, std::vector<int>({-2, 0, 5, 9, 127}));
  EXPECT_EQ(map.find(5)->second, values[4]);  // the later value under a key replaced the first
  const FlatMap<int, Value>& constant = map;
  EXPECT_EQ(constant.find(4), constant.end());
  EXPECT_EQ(constant.count(4), 0u);
  EXPECT_EQ(constant.count(127), 1u);
  EXPECT_EQ(map.size(), 5u);

  FlatMap<int, Value> copy = map;
  EXPECT_TRUE(copy == map);
  copy[3] = values[0];
  EXPECT_EQ(copy.size(), 6u);
  EXPECT_EQ(map.size(), 5u);
  FlatMap<int, Value> moved = std::move(copy);
  EXPECT_EQ(moved.size(), 6u);
  EXPECT_EQ(moved.find(3)->second, values[0]);
  FlatMap<int, Value> one;
  one[7] = values[1];
  FlatMap<int, Value> oneCopy;
  oneCopy = one;
  EXPECT_EQ(oneCopy.begin()->first, 7);
  EXPECT_EQ(oneCopy.begin()->second, values[1]);
  oneCopy = moved;
  EXPECT_TRUE(oneCopy == moved);
  moved.clear();
  EXPECT_TRUE(moved.empty());
  EXPECT_EQ(oneCopy.size(), 6u);
}

TEST(FlatMap, KeepsKeysInOrderAndFindsWithoutInsertingInBothForms) {
  CheckOrderedMap<int>({1, 2, 3, 4, 5, 6});
  CheckOrderedMap<std::string>({"a", "b", "c", "d", "e", "f"});
}

// Four key bytes and a section to a control, as the SysEx index registers and
// finds them; a later registration under the same keys replaces the first.
TEST(SysExControlIndex, FindsEveryRegisteredControlAndNothingElse) {
  IControl* const controls[] = {reinterpret_cast<IControl*>(0x10), reinterpret_cast<IControl*>(0x20),
                                reinterpret_cast<IControl*>(0x30), reinterpret_cast<IControl*>(0x40)};
  const struct {
    unsigned char keys[4];
    unsigned char section;
    IControl* control;
  } registered[] = {
      {{0x20, 3, 0, 0x31}, 0, controls[0]},
      {{0x20, 3, 0, 0x31}, 4, controls[1]},  // same address, another effect type
      {{0x20, 2, 0, 0x31}, 0, controls[2]},
      {{0x10, 0x7F, 1, 0x00}, 0, controls[3]},
      {{0x20, 2, 0, 0x31}, 0, controls[3]},  // replaces controls[2]
  };
  SysExControlContainer index;
  for (const auto& r : registered) index.addToControlMap(r.keys, r.section, r.control);
  EXPECT_EQ(index.findControl(0x20, 3, 0, 0x31, 0), controls[0]);
  EXPECT_EQ(index.findControl(0x20, 3, 0, 0x31, 4), controls[1]);
  EXPECT_EQ(index.findControl(0x20, 2, 0, 0x31, 0), controls[3]);
  EXPECT_EQ(index.findControl(0x10, 0x7F, 1, 0x00, 0), controls[3]);
  EXPECT_EQ(index.findControl(0x20, 3, 0, 0x31, 5), nullptr);
  EXPECT_EQ(index.findControl(0x20, 3, 1, 0x31, 0), nullptr);
  EXPECT_EQ(index.findControl(0x21, 3, 0, 0x31, 0), nullptr);
  // Lookups made no entries: two first keys, in order.
  ASSERT_EQ(index.controls.size(), 2u);
  EXPECT_EQ(index.controls.begin()->first, 0x10);
}

// Messages read by index, by size and byte, and by copy all agree, for lists
// from a template (with and without the bare first message) and as given.
TEST(SysExMessageList, EveryWayOfReadingAMessageAgrees) {
  const Message bytes = {0x3E, 0x10, 0x00, 0x20, 0x00, 0x00, 0x31, 0x40};
  const SysExMessageList lists[] = {
      SysExMessageList::fromTemplate(bytes, 7, 126, 5, 3),
      SysExMessageList::fromTemplate(bytes, 7, -1, 3, -1),
      SysExMessageList({{1, 2, 3}, {4, 5}}),
  };
  const std::vector<std::vector<Message>> expected = {
      {{0x3E, 0x10, 0x00, 0x20, 3, 0x00, 0x31, 126}, {0x3E, 0x10, 0x00, 0x20, 3, 0x00, 0x31, 127},
       {0x3E, 0x10, 0x00, 0x20, 3, 0x00, 0x31, 0}, {0x3E, 0x10, 0x00, 0x20, 3, 0x00, 0x31, 1},
       {0x3E, 0x10, 0x00, 0x20, 3, 0x00, 0x31, 2}},
      {bytes, {0x3E, 0x10, 0x00, 0x20, 0x00, 0x00, 0x31, 0x40}, {0x3E, 0x10, 0x00, 0x20, 0x00, 0x00, 0x31, 0x41}},
      {{1, 2, 3}, {4, 5}},
  };
  for (size_t l = 0; l < std::size(lists); ++l) {
    SCOPED_TRACE(l);
    const SysExMessageList& list = lists[l];
    EXPECT_TRUE(list == expected[l]);
    for (size_t i = 0; i < list.size(); ++i) {
      ASSERT_EQ(list.messageSize(i), expected[l][i].size());
      for (size_t at = 0; at < list.messageSize(i); ++at) EXPECT_EQ(list.byteAt(i, at), expected[l][i][at]);
    }
    const SysExMessageList copy = list;
    EXPECT_TRUE(copy == expected[l]);
  }
}

// A copy is a list of its own: changing either leaves the other as it was,
// whether the list came from a template or was given message by message.
TEST(SysExMessageList, ACopyChangesAlone) {
  for (SysExMessageList original : {SysExMessageList::fromTemplate({1, 2, 3}, 2, 0, 3, -1),
                                    SysExMessageList({{1, 2, 0}, {1, 2, 1}, {1, 2, 2}})}) {
    SysExMessageList copy = original;
    copy[1][0] = 9;
    copy.push_back({7});
    original[0][2] = 5;
    EXPECT_TRUE(original == std::vector<Message>({{1, 2, 5}, {1, 2, 1}, {1, 2, 2}}));
    EXPECT_TRUE(copy == std::vector<Message>({{1, 2, 0}, {9, 2, 1}, {1, 2, 2}, {7}}));
  }
  SysExMessageList empty;
  EXPECT_TRUE(empty.empty());
  empty.resize(2);
  EXPECT_EQ(empty.size(), 2u);
  empty = {{4}};
  EXPECT_TRUE(empty == std::vector<Message>({{4}}));
}

// Holders of one copy (copied holders, or holders sharing one instance's
// form) never see each other's changes, nor change the shared form.
TEST(CopyOnWrite, HoldersOfOneCopyChangeAlone) {
  using Ints = std::vector<int>;
  CopyOnWrite<Ints> first;
  first.edit() = {1, 2};
  CopyOnWrite<Ints> second = first;
  EXPECT_TRUE(second.shares(first.shared()));  // copied, nothing taken yet
  second.edit().push_back(3);
  first.edit()[0] = 9;
  EXPECT_EQ(first.get(), Ints({9, 2}));
  EXPECT_EQ(second.get(), Ints({1, 2, 3}));

  const auto form = std::make_shared<const Ints>(Ints{7});
  CopyOnWrite<Ints> a(form), b;
  b.share(form);
  a.edit().push_back(8);
  b.resize(3);
  EXPECT_EQ(*form, Ints({7}));
  EXPECT_EQ(a.get(), Ints({7, 8}));
  EXPECT_EQ(b.get(), Ints({7, 0, 0}));
  // A holder that owns its copy alone changes it in place.
  const Ints* before = &a.get();
  a.edit().push_back(9);
  EXPECT_EQ(&a.get(), before);
}

TEST(ParamSlots, TheFirstValueKeptForAParameterStays) {
  ParamSlots<int, std::string> slots(4);
  EXPECT_EQ(slots.find(1, 7), nullptr);
  slots.keep(1, 7, "first");
  slots.keep(1, 7, "second");
  slots.keep(1, 8, "other key");
  slots.keep(4, 7, "outside");
  slots.keep(-1, 7, "outside");
  ASSERT_NE(slots.find(1, 7), nullptr);
  EXPECT_EQ(*slots.find(1, 7), "first");
  EXPECT_EQ(slots.find(1, 8), nullptr);
  EXPECT_EQ(slots.find(0, 7), nullptr);
  EXPECT_EQ(slots.find(4, 7), nullptr);
  EXPECT_EQ(slots.find(-1, 7), nullptr);
}

// Instances built on several threads at once keep and take values together:
// every reader sees no value or a whole one.
TEST(ParamSlots, ThreadsKeepingAndFindingAtOnceSeeWholeValues) {
  constexpr int kParams = 2000;
  ParamSlots<int, std::pair<int, std::string>> slots(kParams);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&slots, t] {
      for (int p = 0; p < kParams; ++p) {
        if (const auto* found = slots.find(p, p % 7)) {
          EXPECT_EQ(found->first, p);
          EXPECT_EQ(found->second, std::to_string(p));
        } else {
          slots.keep(p, p % 7, {p, std::to_string(p)});
        }
        EXPECT_EQ(slots.find(p, p % 7 + t + 1), nullptr);
      }
    });
  for (std::thread& thread : threads) thread.join();
  for (int p = 0; p < kParams; ++p) EXPECT_NE(slots.find(p, p % 7), nullptr);
}
}  // namespace
