// The SysEx of a Standard MIDI File as the bank reader scans it, and what
// else the file holds, as a save's look at the file judges it: one reading
// for both, so that a save never judges a file otherwise than a load reads it.
#pragma once

#include <cstddef>
#include <vector>

using Bytes = std::vector<unsigned char>;

// One thing the file holds, in file order. Ranges are in the joined image.
struct SmfPart {
  enum class Kind {
    kSysEx,       // an F0 event with the F7 events that continue it: from..to
    kEscaped,     // an F7 event that continues nothing: from..to
    kMeta,        // a meta event of the given type
    kChannel,     // a channel message
    kOtherChunk,  // a chunk that is no track, as raw bytes: from..to
    kUnreadable,  // a track that cannot be parsed as events, as raw bytes: from..to; or
                  // bytes other than zeros after a track's end, which are not read
    kTail,        // bytes after the last whole chunk head, as they are: from..to
  };
  Kind kind;
  std::size_t from = 0, to = 0;
  unsigned char type = 0;
};

// A track that runs past the file's end gives the events up to the cut,
// the one cut into with what there is of it; so does a track whose length
// ends it inside an event.
struct SmfReading {
  bool cut = false;  // a track ran past the file's end, or its length ended it inside an event
  bool listEvents = false;  // fill events
  std::vector<SmfPart> events;
};

// Each SysEx event of the file's tracks as one message: F0, then the F0
// event's data joined with that of the F7 continuation events that follow
// it (a message sent in packets), without the events' delta times and
// lengths. An F7 event that continues nothing gives its data as it is. A
// track that cannot be parsed as events is given as its raw bytes, as are
// other chunks and bytes after the last chunk. size is how much of data is
// the file.
Bytes joinedSmfSysEx(const Bytes& data, std::size_t size, SmfReading* reading = nullptr);
