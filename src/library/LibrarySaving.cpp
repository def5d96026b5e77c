// Writing the selected bank to a file and importing bank files into the
// library folder. The bank is copied and written from the copy; every file
// is written beside its target and renamed over it.
#include "BankFileFormat.h"
#include "PatchLibrarian.h"
#include "UserFiles.h"

bool PatchLibrarian::saveEditedPatch(std::string path, std::string name) {
  auto guard = lock();
  const auto bank = selectedBank();
  if (!bank) return false;
  auto copy = bank->clone();
  copy->holdAt(kPatchesPerBank);
  copy->fileName = name;
  const size_t dot = name.find_last_of('.');
  // Letter case does not choose the format: "Bank.MID" stays a MIDI file.
  const std::string extension = asciiLower(dot == std::string::npos ? name : name.substr(dot + 1));
  const bool midi = extension == "mid";
  if (midi) {
    name += ".mid";
  } else if (extension == "syx" || extension == "tvx") {
    name += ".tvx";
  }
  const bool multi = hooks.multiMode && hooks.multiMode();
  (multi ? upperMultiFileName : upperSoundFileName) = name;
  const Bytes image = writeBankImage(*copy, midi, multi);
  guard.unlock();
  if (userfiles::writeFileAtomically(path, image)) return true;
  log("PATCH LIBRARIAN: could not write file " + path);
  return false;
}

bool PatchLibrarian::savePatchAs(const char* folder, std::string name, bool midi) {
  if (!hooks.promptForFile) return false;
  std::string startFolder = folder ? folder : "";
  const std::string chosen = hooks.promptForFile(1, startFolder, name, midi ? "mid" : "dvn");
  if (chosen.empty()) return false;
  const size_t split = chosen.find_last_of("/\\");
  const std::string folderPart = split == std::string::npos ? std::string() : chosen.substr(0, split);
  const std::string fileName = split == std::string::npos ? chosen : chosen.substr(split + 1);
  const size_t inner = folderPart.find_last_of("/\\");
  std::string lastComponent = inner == std::string::npos ? folderPart : folderPart.substr(inner + 1);
  removeCharsFromString(lastComponent, "/\\");

  const bool multi = hooks.multiMode && hooks.multiMode();
  auto guard = lock();
  upperFolderName = lastComponent.empty() ? "Patches" : lastComponent;
  (multi ? upperMultiFileName : upperSoundFileName) = fileName;
  // The user's file is touched only once there is a bank to write.
  const auto bank = selectedBank();
  if (!bank) return false;
  auto copy = bank->clone();
  copy->holdAt(kPatchesPerBank);
  const Bytes image = writeBankImage(*copy, midi, multi);
  guard.unlock();
  if (userfiles::writeFileAtomically(chosen, image)) return true;
  log("PATCH LIBRARIAN: could not write file " + chosen);
  return false;
}

bool PatchLibrarian::importBankFile(const std::string& chosenPath, const std::string& patchesFolder) {
  // A file that cannot be read whole must not replace a library file.
  const auto data = userfiles::readWholeFile(chosenPath, maxBankFileSize);
  if (!data) {
    log("FILE IMPORTER: cannot read " + chosenPath);
    return false;
  }
  const size_t slash = chosenPath.find_last_of('/');
  const std::string name = slash == std::string::npos ? chosenPath : chosenPath.substr(slash + 1);
  const std::string target = patchesFolder + "/" + name;
  if (userfiles::nameTaken(target)) {
    // Without a window to ask in, both files are kept.
    const int answer = hooks.messageBox ? hooks.messageBox("A bank named \"" + name +
                                                               "\" is already in the library. Do you want to "
                                                               "replace it? No keeps both files.",
                                                           "Import", 3)
                                        : 7;
    if (answer == 1) {
      log("FILE IMPORTER: patch file copied to " + patchesFolder);
      return userfiles::writeFileAtomically(target, *data);
    }
    if (answer != 7) return false;  // Cancel, or the box was closed
  }
  log("FILE IMPORTER: patch file copied to " + patchesFolder);
  return !userfiles::writeUnderFreeName(patchesFolder, name, *data).empty();
}
