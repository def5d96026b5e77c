#include "PatchFile.h"

std::unique_ptr<PatchFile> PatchFile::clone() const {
  auto copy = std::make_unique<PatchFile>();
  if (bankType == 0 || bankType == 1) {
    copy->bankType = bankType;
    copy->kind = (kind == 0 || kind == 1) ? kind : 2;
  }
  copy->patches = patches;
  copy->fileName = fileName;
  return copy;
}
