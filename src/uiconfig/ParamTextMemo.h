// The name and group texts the control factories give each parameter when
// they build from one shared document: the first instance works them out and
// every further one that builds the same element for the same part takes
// them, by the parameter's index, without forming or looking up a text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ParamSlots.h"

namespace param_texts {
// How the name is formed from the element's name.
enum class Form : uint8_t {
  kPlain,     // the name itself
  kPerPart,   // "[" part + 1 "] " before it inside a part
  kNumbered,  // "[" part + 1 "] " before it always
};
// The element's own name and group strings (in the document, so an address
// names one element), the part and the form: the texts follow from these.
struct Key {
  const std::string* name = nullptr;
  const std::string* group = nullptr;
  int part = -1;
  Form form = Form::kPlain;
  bool operator==(const Key&) const = default;
};
// As the parameter keeps them (IParam::SharedText).
struct Texts {
  const char* name = nullptr;
  const char* group = nullptr;
};
}  // namespace param_texts

using ParamTextMemo = ParamSlots<param_texts::Key, param_texts::Texts>;
