// Program (fxp) and bank (fxb) files, and the preset source dumps.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "IGraphics.h"
#include "IPlugBase.h"
#include "UserFiles.h"

namespace {
constexpr int kFxpHeaderSize = 56;
constexpr int kFxbHeaderSize = 156;
constexpr int kFxNameLen = 28;

int FourCC(const char* text) {
  return (text[0] << 24) | (text[1] << 16) | (text[2] << 8) | text[3];
}

void AppendBE(ByteChunk* chunk, int value) {
  const unsigned v = static_cast<unsigned>(value);
  const unsigned char bytes[4] = {static_cast<unsigned char>(v >> 24), static_cast<unsigned char>(v >> 16),
                                  static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
  chunk->AppendBytes(bytes, 4);
}

void AppendBEFloat(ByteChunk* chunk, double value) {
  const float f = static_cast<float>(value);
  int bits;
  std::memcpy(&bits, &f, 4);
  AppendBE(chunk, bits);
}

int ReadBE(const ByteChunk& chunk, int* value, int pos) {
  unsigned char bytes[4];
  pos = chunk.ReadBytes(bytes, 4, pos);
  if (pos >= 0)
    *value = static_cast<int>((static_cast<unsigned>(bytes[0]) << 24) | (static_cast<unsigned>(bytes[1]) << 16) |
                              (static_cast<unsigned>(bytes[2]) << 8) | bytes[3]);
  return pos;
}

int ReadBEFloat(const ByteChunk& chunk, double* value, int pos) {
  int bits = 0;
  pos = ReadBE(chunk, &bits, pos);
  if (pos >= 0) {
    float f;
    std::memcpy(&f, &bits, 4);
    *value = f;
  }
  return pos;
}

// Names are cut to 27 characters so the 28-byte field always ends in zero.
void AppendFxName(ByteChunk* chunk, const char* name) {
  char field[kFxNameLen] = {};
  CopyBounded(field, name, kFxNameLen);
  chunk->AppendBytes(field, kFxNameLen);
}

int ReadFxName(const ByteChunk& chunk, char* name, int pos) {
  char field[kFxNameLen] = {};
  pos = chunk.ReadBytes(field, kFxNameLen, pos);
  field[kFxNameLen - 1] = 0;
  std::memcpy(name, field, kFxNameLen);
  return pos;
}

void AppendProgramHeader(ByteChunk* file, int byteSize, const char* fxMagic, int uniqueID, int version,
                         int nParams, const char* name) {
  AppendBE(file, FourCC("CcnK"));
  AppendBE(file, byteSize);
  AppendBE(file, FourCC(fxMagic));
  AppendBE(file, 1);
  AppendBE(file, uniqueID);
  AppendBE(file, version);
  AppendBE(file, nParams);
  AppendFxName(file, name);
}

// The 56-byte header of a program file, also the head of each program of a bank.
struct ProgramHeader {
  int magic = 0, byteSize = 0, fxMagic = 0, version = 0, uniqueID = 0, pluginVersion = 0, nParams = 0;
  char name[kFxNameLen] = {};
};

int ReadProgramHeader(const ByteChunk& file, ProgramHeader* header, int pos) {
  for (int* field : {&header->magic, &header->byteSize, &header->fxMagic, &header->version, &header->uniqueID,
                     &header->pluginVersion, &header->nParams})
    pos = ReadBE(file, field, pos);
  return ReadFxName(file, header->name, pos);
}

// The embedded state chunk must fit in the file its size field announces.
int SkipChunkSize(const ByteChunk& file, int pos) {
  int chunkSize = 0;
  pos = ReadBE(file, &chunkSize, pos);
  return (pos < 0 || chunkSize < 0 || chunkSize > file.Size() - pos) ? -1 : pos;
}

// Beside the target and renamed over it: a full disk leaves the old file.
bool WriteWholeFile(const char* path, const ByteChunk& file) {
  return path && userfiles::writeFileAtomically(path, file.Data(), static_cast<size_t>(file.Size()));
}

bool ReadWholeFile(const char* path, ByteChunk* file) {
  std::unique_ptr<FILE, int (*)(FILE*)> fp(std::fopen(path, "rb"), std::fclose);
  if (!fp) return false;
  if (std::fseek(fp.get(), 0, SEEK_END) != 0) return false;
  const long size = std::ftell(fp.get());
  if (size < 0 || size > 0x7fffffff) return false;
  std::rewind(fp.get());
  if (!file->Resize(static_cast<int>(size))) return false;
  return size == 0 || std::fread(file->Data(), 1, static_cast<size_t>(size), fp.get()) == static_cast<size_t>(size);
}

std::string EncodeBase64(const unsigned char* bytes, int n) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve(static_cast<size_t>((n + 2) / 3 * 4));
  for (int i = 0; i < n; i += 3) {
    const unsigned b0 = bytes[i];
    const unsigned b1 = i + 1 < n ? bytes[i + 1] : 0;
    const unsigned b2 = i + 2 < n ? bytes[i + 2] : 0;
    out += kAlphabet[b0 >> 2];
    out += kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
    out += i + 1 < n ? kAlphabet[((b1 & 15) << 2) | (b2 >> 6)] : '=';
    out += i + 2 < n ? kAlphabet[b2 & 63] : '=';
  }
  return out;
}

bool Prompt(IGraphics* graphics, WDL_String* fileName, EFileAction action, WDL_String* directory,
            const char* extension) {
  char extensions[8];
  std::snprintf(extensions, sizeof(extensions), "%s", extension);
  graphics->PromptForFile(fileName, action, directory, extensions);
  return fileName->GetLength() > 0;
}
}  // namespace

bool IPlugBase::WriteProgramFile(ByteChunk* file) {
  const IPreset* preset = mPresets.Get(mCurrentPresetIdx);
  const char* name = preset ? preset->mName : "";
  const int version = GetEffectVersion(true);
  const int nParams = NAutomatableParams();
  if (DoesStateChunks()) {
    ByteChunk state;
    InitChunkWithIPlugVer(&state);
    SerializeState(&state);
    AppendProgramHeader(file, state.Size() + 60, "FPCh", mUniqueID, version, nParams, name);
    AppendBE(file, state.Size());
    file->AppendChunk(&state);
  } else {
    AppendProgramHeader(file, 0, "FxCk", mUniqueID, version, nParams, name);
    for (int i = 0; i < nParams; ++i) AppendBEFloat(file, GetParam(i)->GetNormalized());
  }
  return true;
}

bool IPlugBase::WriteBankFile(ByteChunk* file) {
  const int version = GetEffectVersion(true);
  const int nParams = NAutomatableParams();
  ByteChunk state;
  if (DoesStateChunks()) {
    InitChunkWithIPlugVer(&state);
    SerializePresets(&state);
  }
  AppendBE(file, FourCC("CcnK"));
  AppendBE(file, DoesStateChunks() ? state.Size() + 160 : 0);
  AppendBE(file, FourCC(DoesStateChunks() ? "FBCh" : "FxBk"));
  AppendBE(file, 2);
  AppendBE(file, mUniqueID);
  AppendBE(file, version);
  AppendBE(file, NPresets());
  AppendBE(file, mCurrentPresetIdx);
  const unsigned char reserved[124] = {};
  file->AppendBytes(reserved, sizeof(reserved));

  if (DoesStateChunks()) {
    AppendBE(file, state.Size());
    file->AppendChunk(&state);
    return true;
  }
  for (int p = 0; p < NPresets(); ++p) {
    IPreset* preset = mPresets.Get(p);
    AppendProgramHeader(file, 0, "FxCk", mUniqueID, version, nParams, preset->mName);
    int pos = 0;
    for (int i = 0; i < nParams; ++i) {
      double v = 0.0;
      pos = preset->mChunk.ReadValue(&v, pos);
      if (pos < 0) v = 0.0;
      AppendBEFloat(file, GetParam(i)->GetNormalized(v));
    }
  }
  return true;
}

int IPlugBase::ReadNormalizedParams(const ByteChunk& file, int pos) {
  for (int i = 0; i < NAutomatableParams(); ++i) {
    double v = 0.0;
    pos = ReadBEFloat(file, &v, pos);
    IParam* param = GetParam(i);
    // What a file holds is kept inside the range, a damaged value at the default.
    if (std::isfinite(v)) {
      param->SetNormalized(std::clamp(v, 0.0, 1.0));
    } else {
      param->Set(param->GetDefault());
    }
  }
  return pos;
}

bool IPlugBase::ReadProgramFile(ByteChunk& file) {
  if (file.Size() < kFxpHeaderSize) return false;
  ProgramHeader header;
  int pos = ReadProgramHeader(file, &header, 0);
  if (header.magic != FourCC("CcnK") || header.version != 1 || header.uniqueID != mUniqueID ||
      header.nParams != NAutomatableParams())
    return false;

  if (header.fxMagic == FourCC("FPCh") && DoesStateChunks()) {
    pos = SkipChunkSize(file, pos);
    if (pos < 0) return false;
    GetIPlugVerFromChunk(&file, &pos);
    UnserializeState(&file, pos);
    ModifyCurrentPreset(header.name);
    InformHostOfProgramChange();
    return true;
  }
  if (header.fxMagic == FourCC("FxCk")) {
    if (file.Size() < kFxpHeaderSize + 4LL * header.nParams) return false;
    ReadNormalizedParams(file, pos);
    ModifyCurrentPreset(header.name);
    RestorePreset(mCurrentPresetIdx);
    InformHostOfProgramChange();
    return true;
  }
  return false;
}

bool IPlugBase::ReadBankFile(ByteChunk& file) {
  if (file.Size() < kFxbHeaderSize) return false;
  int magic = 0, fxMagic = 0, uniqueID = 0, nPrograms = 0, currentProgram = 0;
  ReadBE(file, &magic, 0);
  ReadBE(file, &fxMagic, 8);
  ReadBE(file, &uniqueID, 16);
  ReadBE(file, &nPrograms, 24);
  ReadBE(file, &currentProgram, 28);
  int pos = kFxbHeaderSize;
  if (magic != FourCC("CcnK") || uniqueID != mUniqueID) return false;

  if (fxMagic == FourCC("FBCh") && DoesStateChunks()) {
    pos = SkipChunkSize(file, pos);
    if (pos < 0) return false;
    GetIPlugVerFromChunk(&file, &pos);
    UnserializePresets(&file, pos);
    InformHostOfProgramChange();
    return true;
  }
  if (fxMagic != FourCC("FxBk")) return false;

  const int nParams = NAutomatableParams();
  for (int p = 0; p < nPrograms; ++p) {
    if (file.Size() - pos < kFxpHeaderSize + 4LL * nParams) return false;
    ProgramHeader header;
    pos = ReadProgramHeader(file, &header, pos);
    if (header.magic != FourCC("CcnK") || header.fxMagic != FourCC("FxCk") || header.version != 1 ||
        header.nParams != nParams)
      return false;
    RestorePreset(p);
    pos = ReadNormalizedParams(file, pos);
    ModifyCurrentPreset(header.name);
  }
  RestorePreset(currentProgram);
  InformHostOfProgramChange();
  return true;
}

bool IPlugBase::SaveProgramToFile(const char* path) {
  ByteChunk file;
  WriteProgramFile(&file);
  return WriteWholeFile(path, file);
}

bool IPlugBase::SaveBankToFile(const char* path) {
  ByteChunk file;
  WriteBankFile(&file);
  return WriteWholeFile(path, file);
}

bool IPlugBase::LoadProgramFromFile(const char* path) {
  ByteChunk file;
  return ReadWholeFile(path, &file) && ReadProgramFile(file);
}

bool IPlugBase::LoadBankFromFile(const char* path) {
  ByteChunk file;
  return ReadWholeFile(path, &file) && ReadBankFile(file);
}

bool IPlugBase::SaveProgramAsFXP(const char* defaultFileName) {
  if (!mGraphics) return false;
  WDL_String fileName(defaultFileName ? defaultFileName : "");
  if (!Prompt(mGraphics.get(), &fileName, kFileSave, &mPreviousPath, "fxp")) return false;
  return SaveProgramToFile(fileName.Get());
}

bool IPlugBase::SaveBankAsFXB(const char* defaultFileName) {
  if (!mGraphics) return false;
  WDL_String fileName(defaultFileName ? defaultFileName : "");
  if (!Prompt(mGraphics.get(), &fileName, kFileSave, &mPreviousPath, "fxb")) return false;
  return SaveBankToFile(fileName.Get());
}

bool IPlugBase::LoadProgramFromFXP() {
  if (!mGraphics) return false;
  WDL_String fileName("");
  if (!Prompt(mGraphics.get(), &fileName, kFileOpen, &mPreviousPath, "fxp")) return false;
  return LoadProgramFromFile(fileName.Get());
}

bool IPlugBase::LoadBankFromFXB() {
  if (!mGraphics) return false;
  WDL_String fileName("");
  if (!Prompt(mGraphics.get(), &fileName, kFileOpen, &mPreviousPath, "fxb")) return false;
  return LoadBankFromFile(fileName.Get());
}

void IPlugBase::DumpPresetSrcCode(const char* fileName, const char* paramEnumNames[]) {
  if (!fileName) return;
  const int n = NAutomatableParams();
  char line[256];
  std::snprintf(line, sizeof(line), "  MakePresetFromNamedParams(\"name\", %d", std::max(n, 0));
  std::string text = line;
  for (int i = 0; i < n; ++i) {
    const IParam* param = GetParam(i);
    char value[64];
    switch (param->Type()) {
      case IParam::kTypeBool:
        std::snprintf(value, sizeof(value), "%s", param->Value() >= 0.5 ? "true" : "false");
        break;
      case IParam::kTypeInt:
      case IParam::kTypeEnum:
        std::snprintf(value, sizeof(value), "%d", param->Int());
        break;
      default:
        std::snprintf(value, sizeof(value), "%.6f", param->Value());
        break;
    }
    text += ",\n    ";
    text += paramEnumNames && paramEnumNames[i] ? paramEnumNames[i] : "";
    text += ", ";
    text += value;
  }
  text += ");\n";
  userfiles::writeFileAtomically(fileName, text);
}

void IPlugBase::DumpPresetBlob(const char* fileName) {
  const IPreset* preset = mPresets.Get(mCurrentPresetIdx);
  if (!preset || !fileName) return;
  const std::string encoded = EncodeBase64(preset->mChunk.Data(), preset->mChunk.Size());
  const std::string text = "MakePresetFromBlob(\"name\", \"" + encoded + "\", " + std::to_string(preset->mChunk.Size()) + ");\n";
  userfiles::writeFileAtomically(fileName, text);
}
