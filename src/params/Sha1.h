// SHA-1 digests (FIPS 180-1).
#pragma once

namespace sha1 {
// Writes the 20-byte digest of the length bytes at source; length must lie
// in 0..2^29 - 1 for the standard digest (a negative length hashes nothing).
void calc(const void* source, int length, unsigned char* digest);
// Writes 40 lowercase hex digits and a terminating NUL: hex holds 41 bytes.
void toHexString(const unsigned char* digest, char* hex);
}  // namespace sha1
