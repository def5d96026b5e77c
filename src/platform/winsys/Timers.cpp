// Timers on the run loop of the thread that set them, and the posted-message
// queue that exists only once the hosting application has set it up.
#include <pthread.h>

#include <memory>
#include <mutex>

#include "HwndView.h"
#include "Internal.h"
#include "Utilities.h"
#include "model/Application.h"
#include "model/RunLoop.h"

using winsys::App;
using winsys::View;

namespace {

struct TimerRecord {
  uintptr_t timerId;
  HWND hwnd;
  std::shared_ptr<winsys::ModelTimer> timer;
  TimerRecord* next;
};

std::recursive_mutex m_timermutex;
TimerRecord* m_timer_list = nullptr;

struct PostedMessageRecord {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  PostedMessageRecord* next;
  bool isTimer;
};

PostedMessageRecord *m_pmq = nullptr, *m_pmq_tail = nullptr, *m_pmq_empty = nullptr;
int m_pmq_size = 0;
std::unique_ptr<std::recursive_mutex> m_pmq_mutex;
pthread_t m_pmq_mainthread;
std::shared_ptr<winsys::ModelTimer> m_pmq_timer;

bool offMainThread() { return m_pmq_mutex && !pthread_equal(pthread_self(), m_pmq_mainthread); }

// A window that answers the timer message itself, or whose content view does.
HWND timerTarget(HWND hwnd) {
  View* v = swell::asView(hwnd);
  if (v && v->answersTimer()) return v;
  if (winsys::Window* w = swell::asWindow(hwnd); w && w->contentView() && w->contentView()->answersTimer())
    return w->contentView();
  return nullptr;
}

void freeRecord(TimerRecord* r) {
  if (r->timer) r->timer->invalidate();
  delete r;
}

void pmqSetTimer(HWND hwnd, uintptr_t timerid, UINT rate, TIMERPROC proc) {
  if (!hwnd || !m_pmq_mutex) return;
  std::lock_guard lock(*m_pmq_mutex);
  for (auto* r = m_pmq; r; r = r->next)
    if (r->isTimer && r->hwnd == hwnd && r->wParam == timerid) {
      r->msg = rate;
      r->lParam = LPARAM(proc);
      return;
    }
  PostedMessageRecord* r = m_pmq_empty;
  if (r)
    m_pmq_empty = r->next;
  else
    r = new PostedMessageRecord;
  *r = {hwnd, rate, timerid, LPARAM(proc), nullptr, true};
  if (m_pmq_tail)
    m_pmq_tail->next = r;
  else
    m_pmq = r;
  m_pmq_tail = r;
  m_pmq_size++;
}

}  // namespace

uintptr_t SetTimer(HWND hwnd, uintptr_t timerid, UINT rate, TIMERPROC tProc) {
  if (!hwnd && !tProc) return 0;
  if (hwnd && !timerid) return 0;
  if (timerid != uintptr_t(0xFFFFFFFF) && offMainThread()) {
    // A window-less timer cannot travel through the queue: refuse it rather than report an id.
    if (!hwnd) return 0;
    pmqSetTimer(hwnd, timerid, rate > 0xFFFFFFFE ? 0xFFFFFFFE : rate, tProc);
    return timerid;
  }
  if (hwnd) {
    hwnd = timerTarget(hwnd);
    if (!hwnd) return 0;
  }
  std::lock_guard lock(m_timermutex);
  TimerRecord* rec = nullptr;
  if (timerid || hwnd)
    for (TimerRecord* r = m_timer_list; r; r = r->next)
      if (r->timerId == timerid && r->hwnd == hwnd) {
        rec = r;
        r->timer->invalidate();
        break;
      }
  bool fresh = !rec;
  if (fresh) rec = new TimerRecord{timerid, hwnd, nullptr, nullptr};
  if (!hwnd) rec->timerId = uintptr_t(rec);
  uintptr_t id = rec->timerId;
  double interval = rate ? double(rate) : 1.0;
  if (tProc || !hwnd) {
    rec->timer = winsys::RunLoop::current().schedule(interval, [id, hwnd, tProc] {
      if (g_swell_only_timerhwnd && g_swell_only_timerhwnd != hwnd) return;
      tProc(g_swell_only_timerhwnd ? g_swell_only_timerhwnd : hwnd, WM_TIMER, id, GetTickCount());
    });
  } else {
    View* v = swell::asView(hwnd);
    rec->timer = winsys::RunLoop::current().schedule(interval, [v, id] { v->SWELL_Timer(id); });
  }
  if (fresh) {
    rec->next = m_timer_list;
    m_timer_list = rec;
  }
  return id;
}

BOOL KillTimer(HWND hwnd, uintptr_t timerid) {
  if (!hwnd && !timerid) return 0;
  std::lock_guard lock(m_timermutex);
  if (timerid != uintptr_t(0xFFFFFFFF) && offMainThread()) {
    pmqSetTimer(hwnd, timerid, 0xFFFFFFFF, nullptr);
    return 1;
  }
  if (hwnd)
    if (HWND t = timerTarget(hwnd); t && !swell::asView(hwnd)) hwnd = t;
  bool all = timerid == uintptr_t(-1) || timerid == uintptr_t(0xFFFFFFFF);
  if (all && !hwnd) return 0;
  BOOL removed = 0;
  for (TimerRecord** p = &m_timer_list; *p;) {
    TimerRecord* r = *p;
    if (r->hwnd == hwnd && (all || r->timerId == timerid)) {
      *p = r->next;
      freeRecord(r);
      removed = 1;
      if (!all) break;
    } else {
      p = &r->next;
    }
  }
  return removed;
}

void SWELL_RunRunLoop(int ms) { winsys::RunLoop::current().runFor(ms); }

void SWELL_RunRunLoopEx(int ms, HWND hwnd) {
  HWND saved = g_swell_only_timerhwnd;
  g_swell_only_timerhwnd = hwnd;
  winsys::RunLoop::current().runFor(ms);
  if (g_swell_only_timerhwnd == hwnd) g_swell_only_timerhwnd = saved;
}

void SWELL_Internal_PostMessage_Init() {
  if (m_pmq_mutex) return;
  winsys::AppDelegate* d = App().delegate();
  if (!d || !d->answersPostMessageTick()) return;
  m_pmq_mainthread = pthread_self();
  m_pmq_mutex = std::make_unique<std::recursive_mutex>();
  auto delegate = App().delegate();
  m_pmq_timer = winsys::RunLoop::current().schedule(50, [delegate] { delegate->swellPostMessageTick(); });
}

BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  winsys::AppDelegate* d = App().delegate();
  if (!d || !d->answersPostMessage()) return 0;
  return d->swellPostMessage(hwnd, msg, wParam, lParam) & 0xFF;
}

BOOL SWELL_Internal_PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!hwnd || !m_pmq_mutex) return 0;
  View* v = swell::asView(hwnd);
  if (!v || !v->answersCanPostMessage()) return 0;
  std::lock_guard lock(*m_pmq_mutex);
  if ((!m_pmq_empty && m_pmq_size >= 1024) || !v->swellCanPostMessage()) return 0;
  PostedMessageRecord* r = m_pmq_empty;
  if (r)
    m_pmq_empty = r->next;
  else
    r = new PostedMessageRecord;
  *r = {hwnd, msg, wParam, lParam, nullptr, false};
  if (m_pmq_tail)
    m_pmq_tail->next = r;
  else
    m_pmq = r;
  m_pmq_tail = r;
  m_pmq_size++;
  return 1;
}

void SWELL_MessageQueue_Flush() {
  if (!m_pmq_mutex) return;
  PostedMessageRecord* chain;
  {
    std::lock_guard lock(*m_pmq_mutex);
    chain = m_pmq;
    m_pmq = m_pmq_tail = nullptr;
  }
  int n = 0;
  PostedMessageRecord* last = nullptr;
  for (PostedMessageRecord* r = chain; r; r = r->next) {
    ++n;
    last = r;
    if (r->isTimer) {
      if (r->msg != 0xFFFFFFFF)
        SetTimer(r->hwnd, r->wParam, r->msg, reinterpret_cast<TIMERPROC>(r->lParam));
      else
        KillTimer(r->hwnd, r->wParam);
    } else {
      SendMessage(r->hwnd, r->msg, r->wParam, r->lParam);
    }
  }
  std::lock_guard lock(*m_pmq_mutex);
  m_pmq_size -= n;
  if (last) {
    last->next = m_pmq_empty;
    m_pmq_empty = chain;
  }
}

void SWELL_MessageQueue_Clear(HWND hwnd) {
  winsys::AppDelegate* d = App().delegate();
  if (d && d->answersPostMessageClearQ()) d->swellPostMessageClearQ(hwnd);
}

void SWELL_Internal_PMQ_ClearAllMessages(HWND hwnd) {
  if (!m_pmq_mutex) return;
  std::lock_guard lock(*m_pmq_mutex);
  PostedMessageRecord** p = &m_pmq;
  m_pmq_tail = nullptr;
  while (*p) {
    PostedMessageRecord* r = *p;
    if (!hwnd || r->hwnd == hwnd) {
      *p = r->next;
      r->next = m_pmq_empty;
      m_pmq_empty = r;
      m_pmq_size--;
    } else {
      m_pmq_tail = r;
      p = &r->next;
    }
  }
}

int SWELL_MessageQueue_Size() {
  if (!m_pmq_mutex) return 0;
  std::lock_guard lock(*m_pmq_mutex);
  return m_pmq_size;
}

int SWELL_MessageQueue_SpareCount() {
  if (!m_pmq_mutex) return 0;
  std::lock_guard lock(*m_pmq_mutex);
  int n = 0;
  for (auto* r = m_pmq_empty; r; r = r->next) ++n;
  return n;
}

void SWELL_ResetTimersAndQueue() {
  {
    std::lock_guard lock(m_timermutex);
    while (m_timer_list) {
      TimerRecord* r = m_timer_list;
      m_timer_list = r->next;
      freeRecord(r);
    }
  }
  auto freeChain = [](PostedMessageRecord* r) {
    while (r) {
      PostedMessageRecord* n = r->next;
      delete r;
      r = n;
    }
  };
  freeChain(m_pmq);
  freeChain(m_pmq_empty);
  m_pmq = m_pmq_tail = m_pmq_empty = nullptr;
  m_pmq_size = 0;
  if (m_pmq_timer) m_pmq_timer->invalidate();
  m_pmq_timer.reset();
  m_pmq_mutex.reset();
  g_swell_only_timerhwnd = nullptr;
  winsys::RunLoop::current().reset();
}
