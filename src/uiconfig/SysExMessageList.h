// The per-value SysEx messages of a control action, message i for value i.
// A list prepared from a template keeps only the template: its messages
// differ in the value byte alone, so each is made when it is asked for. The
// editor holds thousands of such lists with up to 128 messages each; making
// them up front cost most of an instance's start-up time and memory. A list
// set message by message, or changed in place, holds its messages as given.
// Either way the list itself is one pointer: every instance holds thousands.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

class SysExMessageList {
 public:
  using Message = std::vector<int>;

  SysExMessageList() = default;
  SysExMessageList(std::vector<Message> messages) { hold(std::move(messages)); }
  SysExMessageList(std::initializer_list<Message> messages) { hold(messages); }
  SysExMessageList& operator=(std::initializer_list<Message> messages) {
    hold(messages);
    return *this;
  }
  // Copies share a template; held messages are copied.
  SysExMessageList(const SysExMessageList& other) : mState(other.mState) {
    if (mState && !mState->fromTemplate) hold(mState->held);
  }
  SysExMessageList& operator=(const SysExMessageList& other) {
    if (this != &other) *this = SysExMessageList(other);
    return *this;
  }
  SysExMessageList(SysExMessageList&&) noexcept = default;
  SysExMessageList& operator=(SysExMessageList&&) noexcept = default;

  // count messages from the template: each carries the value at valueAt
  // (counting up from firstValue; exactly 128 wraps to 0) and, when part is
  // 0 or more and the template reaches byte 4, the part there. A firstValue
  // of -1 makes message 0 the bare template and starts at its own value.
  // valueAt must lie inside the template.
  static SysExMessageList fromTemplate(Message bytes, size_t valueAt, int firstValue, int count, int part) {
    auto state = std::make_shared<State>();
    state->fromTemplate = true;
    Template& t = state->made;
    t.bareFirst = firstValue == -1;
    t.start = t.bareFirst ? bytes[valueAt] : firstValue;
    t.size = static_cast<size_t>(std::max(count, t.bareFirst ? 1 : 0));
    t.valueAt = valueAt;
    t.body = bytes;
    if (part >= 0 && t.body.size() > 4) t.body[4] = part;
    if (t.bareFirst) t.bare = std::move(bytes);
    SysExMessageList list;
    list.mState = std::move(state);
    return list;
  }

  size_t size() const { return !mState ? 0 : mState->fromTemplate ? mState->made.size : mState->held.size(); }
  bool empty() const { return size() == 0; }
  // Message i, made afresh from a template; i must be below size().
  Message operator[](size_t i) const { return mState->fromTemplate ? mState->made.message(i) : mState->held[i]; }
  Message front() const { return (*this)[0]; }
  // The byte count and a byte of message i without making the message;
  // i must be below size() and at below messageSize(i).
  size_t messageSize(size_t i) const {
    return mState->fromTemplate ? mState->made.messageSize(i) : mState->held[i].size();
  }
  int byteAt(size_t i, size_t at) const {
    return mState->fromTemplate ? mState->made.byteAt(i, at) : mState->held[i][at];
  }
  // Writable access holds every message from then on.
  Message& operator[](size_t i) { return held()[i]; }
  void push_back(Message message) { held().push_back(std::move(message)); }
  void resize(size_t n) { held().resize(n); }

  friend bool operator==(const SysExMessageList& list, const std::vector<Message>& messages) {
    if (list.size() != messages.size()) return false;
    for (size_t i = 0; i < messages.size(); ++i)
      if (list[i] != messages[i]) return false;
    return true;
  }

 private:
  struct Template {
    Message bare;  // message 0 when bareFirst
    Message body;  // the template with the part byte set
    size_t valueAt = 0;
    size_t size = 0;
    int start = 0;
    bool bareFirst = false;

    Message message(size_t i) const {
      if (bareFirst && i == 0) return bare;
      Message m = body;
      m[valueAt] = value(i);
      return m;
    }
    size_t messageSize(size_t i) const { return bareFirst && i == 0 ? bare.size() : body.size(); }
    int byteAt(size_t i, size_t at) const {
      if (bareFirst && i == 0) return bare[at];
      return at == valueAt ? value(i) : body[at];
    }
    // The value byte of message i (not the bare one).
    int value(size_t i) const {
      const int64_t v = int64_t{start} + static_cast<int64_t>(i - (bareFirst ? 1 : 0));
      // Counting up from at most 128 passes 128 and starts again at 0.
      return static_cast<int>(start <= 128 && v >= 128 ? v % 128 : v);
    }
  };

  // A template, shared by every copy of the list (every instance's action
  // shares the process's prepared lists) and never written, or messages as
  // given, held by one list alone.
  struct State {
    bool fromTemplate = false;
    Template made;
    std::vector<Message> held;
  };

  void hold(std::vector<Message> messages) {
    auto state = std::make_shared<State>();
    state->held = std::move(messages);
    mState = std::move(state);
  }

  std::vector<Message>& held() {
    if (!mState) {
      hold({});
    } else if (mState->fromTemplate) {
      std::vector<Message> all;
      all.reserve(mState->made.size);
      for (size_t i = 0; i < mState->made.size; ++i) all.push_back(mState->made.message(i));
      hold(std::move(all));
    }
    return mState->held;
  }

  std::shared_ptr<State> mState;  // null: no messages
};
