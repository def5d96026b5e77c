// UTF-8 checks used where the layer converts strings.
#pragma once

#include <string>

namespace winsys {

bool isValidUtf8(const std::string& s);
// The length of the longest prefix of at most max bytes that ends on a whole character.
size_t utf8PrefixLength(const std::string& s, size_t max);

}  // namespace winsys
