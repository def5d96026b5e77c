// The enciphered resource format of the bundle's configuration documents:
// the plain text padded with NULs to whole 8-byte blocks, each block
// enciphered on its own as two big-endian words under the bundle key.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The loader never reads more of a resource than this.
constexpr int kMaxResourceSize = 4096000;

// Appends the 8 * ceil(length / 8) plain bytes of length enciphered bytes to
// text (nothing for length < 1). A final partial block is completed with zeros.
void decipherResource(const char* data, int length, std::string& text);

// The resource bytes for a plain text.
std::vector<unsigned char> encipherResource(std::string_view plain);
