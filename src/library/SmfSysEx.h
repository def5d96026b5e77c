// The SysEx of a Standard MIDI File as the bank reader scans it.
#pragma once

#include <cstddef>
#include <vector>

using Bytes = std::vector<unsigned char>;

// Each SysEx event of the file's tracks as one message: F0, then the F0
// event's data joined with that of the F7 continuation events that follow
// it (a message sent in packets), without the events' delta times and
// lengths. An F7 event that continues nothing gives its data as it is. A
// track that cannot be parsed as events is given as its raw bytes, as are
// bytes after the last chunk. size is how much of data is the file.
Bytes joinedSmfSysEx(const Bytes& data, std::size_t size);
