// The one key that enciphers the bundle's configuration resources.
#pragma once

// The four key words: word i is stored bytes 4i..4i+3, least significant first.
void teaKeyWords(unsigned int key[4]);
