#include "ResourceCipher.h"

#include <algorithm>
#include <cstring>

#include "Tea.h"
#include "TeaKey.h"

void decipherResource(const char* data, int length, std::string& text) {
  if (length < 1 || !data) return;
  unsigned int key[4];
  teaKeyWords(key);
  Tea tea;
  for (int offset = 0; offset < length; offset += 8) {
    // Copying only the bytes that exist keeps the last block inside the data.
    unsigned char block[8] = {};
    std::memcpy(block, data + offset, static_cast<size_t>(std::min(8, length - offset)));
    tea.simpledecrypt(block, key);
    text.append(reinterpret_cast<const char*>(block), 8);
  }
}

std::vector<unsigned char> encipherResource(std::string_view plain) {
  std::vector<unsigned char> bytes((plain.size() + 7) / 8 * 8, 0);
  if (!plain.empty()) std::memcpy(bytes.data(), plain.data(), plain.size());
  unsigned int key[4];
  teaKeyWords(key);
  Tea tea;
  for (size_t offset = 0; offset < bytes.size(); offset += 8) tea.simpleencrypt(bytes.data() + offset, key);
  return bytes;
}
