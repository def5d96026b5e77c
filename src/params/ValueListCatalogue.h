// The named value lists that the program reads by name (the value display,
// the MIDI clock job and the project restore), each with the number of values
// its parameters take: the GUI document must define every one of them with at
// least that many texts, and the parameters' ranges stay inside it.
#pragma once

struct ValueListSpec {
  const char* name;
  int size;
};

const ValueListSpec* valueListCatalogue(int* count);
