// The per-value SysEx messages of a control action, message i for value i.
// A list prepared from a template keeps only the template: its messages
// differ in the value byte alone, so each is made when it is asked for. The
// editor holds thousands of such lists with up to 128 messages each; making
// them up front cost most of an instance's start-up time and memory. A list
// set message by message, or changed in place, holds its messages as given.
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
  SysExMessageList(std::vector<Message> messages) : mHeld(std::move(messages)) {}
  SysExMessageList(std::initializer_list<Message> messages) : mHeld(messages) {}
  SysExMessageList& operator=(std::initializer_list<Message> messages) {
    mTemplate.reset();
    mHeld = messages;
    return *this;
  }

  // count messages from the template: each carries the value at valueAt
  // (counting up from firstValue; exactly 128 wraps to 0) and, when part is
  // 0 or more and the template reaches byte 4, the part there. A firstValue
  // of -1 makes message 0 the bare template and starts at its own value.
  // valueAt must lie inside the template.
  static SysExMessageList fromTemplate(Message bytes, size_t valueAt, int firstValue, int count, int part) {
    auto t = std::make_shared<Template>();
    t->bareFirst = firstValue == -1;
    t->start = t->bareFirst ? bytes[valueAt] : firstValue;
    t->size = static_cast<size_t>(std::max(count, t->bareFirst ? 1 : 0));
    t->valueAt = valueAt;
    t->body = bytes;
    if (part >= 0 && t->body.size() > 4) t->body[4] = part;
    if (t->bareFirst) t->bare = std::move(bytes);
    SysExMessageList list;
    list.mTemplate = std::move(t);
    return list;
  }

  size_t size() const { return mTemplate ? mTemplate->size : mHeld.size(); }
  bool empty() const { return size() == 0; }
  // Message i, made afresh from a template; i must be below size().
  Message operator[](size_t i) const { return mTemplate ? mTemplate->message(i) : mHeld[i]; }
  Message front() const { return (*this)[0]; }
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
      const int64_t v = int64_t{start} + static_cast<int64_t>(i - (bareFirst ? 1 : 0));
      Message m = body;
      // Counting up from at most 128 passes 128 and starts again at 0.
      m[valueAt] = static_cast<int>(start <= 128 && v >= 128 ? v % 128 : v);
      return m;
    }
  };

  std::vector<Message>& held() {
    if (mTemplate) {
      std::vector<Message> all;
      all.reserve(mTemplate->size);
      for (size_t i = 0; i < mTemplate->size; ++i) all.push_back(mTemplate->message(i));
      mHeld = std::move(all);
      mTemplate.reset();
    }
    return mHeld;
  }

  std::shared_ptr<const Template> mTemplate;
  std::vector<Message> mHeld;
};
