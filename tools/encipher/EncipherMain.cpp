// tarnivex_encipher <plain.xml> <resource.tea>
// Checks that the document parses and fits the loader, then writes it in the
// enciphered resource format. A failed check fails the build.
#include <tinyxml2.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "ResourceCipher.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: tarnivex_encipher <plain.xml> <resource.tea>\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << "tarnivex_encipher: cannot read " << argv[1] << "\n";
    return 1;
  }
  const std::string plain((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  // The reader stops at the first NUL, so one inside would cut the document.
  if (plain.find('\0') != std::string::npos) {
    std::cerr << "tarnivex_encipher: " << argv[1] << " holds a NUL byte\n";
    return 1;
  }
  tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
  if (document.Parse(plain.c_str()) != tinyxml2::XML_SUCCESS) {
    std::cerr << "tarnivex_encipher: " << argv[1] << " does not parse: " << document.ErrorStr() << "\n";
    return 1;
  }
  const auto bytes = encipherResource(plain);
  if (bytes.size() > static_cast<size_t>(kMaxResourceSize)) {
    std::cerr << "tarnivex_encipher: " << argv[1] << " is larger than the loader reads (" << kMaxResourceSize
              << " bytes)\n";
    return 1;
  }

  // Written beside the target and renamed, so a failed run leaves no half file.
  const std::string temporary = std::string(argv[2]) + ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      std::cerr << "tarnivex_encipher: cannot write " << temporary << "\n";
      std::remove(temporary.c_str());
      return 1;
    }
  }
  if (std::rename(temporary.c_str(), argv[2]) != 0) {
    std::cerr << "tarnivex_encipher: cannot write " << argv[2] << "\n";
    std::remove(temporary.c_str());
    return 1;
  }
  return 0;
}
