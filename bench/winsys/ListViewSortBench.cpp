// Sorting a list view of 10,000 rows with every third row selected; the goal is under 10 ms a sort.
#include <benchmark/benchmark.h>

#include "../BenchFailures.h"

#include "ListView.h"

namespace {

int byValue(LPARAM a, LPARAM b, LPARAM descending) { return int(descending ? b - a : a - b); }

void BM_SortTenThousandKeepingTheSelection(benchmark::State& state) {
  auto* lv = new Swell_vTarnivex_listview;
  for (int i = 0; i < 10000; ++i) {
    LVITEM it{};
    it.mask = LVIF_TEXT | LVIF_PARAM;
    it.iItem = i;
    it.pszText = const_cast<char*>("row");
    it.lParam = LPARAM((i * 7919) % 10007);
    ListView_InsertItem(lv, &it);
    if (i % 3 == 0) ListView_SetItemState(lv, i, LVIS_SELECTED, LVIS_SELECTED);
  }
  LPARAM descending = 0;
  for (auto _ : state) {
    ListView_SortItems(lv, byValue, descending);
    descending ^= 1;
  }
  state.counters["selected"] = double(ListView_GetSelectedCount(lv));
  lv->release();
}
BENCHMARK(BM_SortTenThousandKeepingTheSelection)->Unit(benchmark::kMillisecond);

}  // namespace

TARNIVEX_BENCHMARK_MAIN()
