#include "ResourceCipher.h"

#include <cstring>

#include "Tea.h"
#include "TeaKey.h"

void decipherResource(const char* data, int length, std::string& text) {
  if (length < 1 || !data) return;
  unsigned int key[4];
  teaKeyWords(key);
  // Deciphered in place in the text; a last partial block is padded with zeros.
  const size_t blocks = (static_cast<size_t>(length) + 7) / 8;
  const size_t at = text.size();
  text.resize(at + 8 * blocks, '\0');
  auto* bytes = reinterpret_cast<unsigned char*>(text.data() + at);
  std::memcpy(bytes, data, static_cast<size_t>(length));
  Tea::simpledecryptBlocks(bytes, blocks, key);
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
