// A program (fxp) or bank (fxb) file the user opens. After any load every
// parameter holds a value inside its range, and a program saved then reads
// back.
//
// Input: a mode byte: bit 0 a bank file, else a program file; bit 1 clear:
// the file follows; set: a file the plug-in saved, as changed() makes it
// from the rest.
#include <vector>

#include "FuzzDrivers.h"
#include "FuzzSupport.h"
#include "Tarnivex.h"

namespace fuzz {

void expectValuesInRange(Tarnivex& plug, const std::vector<double>& before);

namespace {
std::vector<uint8_t> savedFile(Tarnivex& plug, const std::string& folder, bool bank) {
  const std::string path = folder + (bank ? "/base.fxb" : "/base.fxp");
  FUZZ_CHECK(bank ? plug.SaveBankToFile(path.c_str()) : plug.SaveProgramToFile(path.c_str()));
  return readBytes(path);
}
}  // namespace

int programFiles(const uint8_t* data, size_t size) {
  Tarnivex& plug = plugin(false);
  static const std::string folder = freshFolder("program-files");
  static const std::vector<uint8_t> programBase = savedFile(plug, folder, false);
  static const std::vector<uint8_t> bankBase = savedFile(plug, folder, true);
  Input in(data, size);
  const uint8_t mode = in.byte();
  const bool bank = mode & 1;
  const std::vector<uint8_t> file = mode & 2 ? changed(bank ? bankBase : programBase, in) : in.rest();
  const std::string path = folder + (bank ? "/in.fxb" : "/in.fxp");
  writeBytes(path, file.data(), file.size());
  std::vector<double> before(static_cast<size_t>(plug.NParams()));
  for (int i = 0; i < plug.NParams(); ++i) before[static_cast<size_t>(i)] = plug.GetParam(i)->Value();
  if (bank) {
    plug.LoadBankFromFile(path.c_str());
  } else {
    plug.LoadProgramFromFile(path.c_str());
  }
  expectValuesInRange(plug, before);
  const std::string saved = folder + "/saved.fxp";
  FUZZ_CHECK(plug.SaveProgramToFile(saved.c_str()));
  FUZZ_CHECK(plug.LoadProgramFromFile(saved.c_str()));
  return 0;
}

}  // namespace fuzz
