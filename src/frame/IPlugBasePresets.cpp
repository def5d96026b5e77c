#include <cstdarg>
#include <cstring>
#include <vector>

#include "IPlugBase.h"

namespace {
IPreset* GetNextUninitializedPreset(WDL_PtrList<IPreset>* presets) {
  for (int i = 0; i < presets->GetSize(); ++i) {
    IPreset* preset = presets->Get(i);
    if (!preset->mInitialized) return preset;
  }
  return nullptr;
}

void MakeDefaultUserPresetName(WDL_PtrList<IPreset>* presets, char* out) {
  int n = 0;
  for (int i = 0; i < presets->GetSize(); ++i)
    if (std::strstr(presets->Get(i)->mName, "user preset")) ++n;
  std::snprintf(out, MAX_PRESET_NAME_LEN, "%s %d", "user preset", n + 1);
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Stops at the first character outside the alphabet; never writes past size.
void DecodeBase64(const char* text, unsigned char* out, int size) {
  unsigned bits = 0;
  int nBits = 0, written = 0;
  for (const char* p = text; p && *p && written < size; ++p) {
    const int v = Base64Value(*p);
    if (v < 0) break;
    bits = (bits << 6) | static_cast<unsigned>(v);
    nBits += 6;
    if (nBits >= 8) {
      nBits -= 8;
      out[written++] = static_cast<unsigned char>((bits >> nBits) & 0xFF);
    }
  }
}

double NextPresetArg(va_list& args, IParam* param) {
  const IParam::EParamType type = param->Type();
  if (type == IParam::kTypeBool || type == IParam::kTypeInt || type == IParam::kTypeEnum)
    return static_cast<double>(va_arg(args, int));
  return va_arg(args, double);
}
}  // namespace

void IPlugBase::InitChunkWithIPlugVer(ByteChunk* chunk) {
  chunk->Clear();
  const int magic = kChunkMagic;
  const int version = kChunkVersion;
  chunk->AppendValue(&magic);
  chunk->AppendValue(&version);
}

int IPlugBase::GetIPlugVerFromChunk(ByteChunk* chunk, int* pPos) {
  const int pos = *pPos;
  int magic = 0;
  if (pos < 0 || chunk->ReadValue(&magic, pos) < 0 || magic != kChunkMagic) return 0;
  int version = 0;
  *pPos = chunk->ReadValue(&version, pos + 4);
  return *pPos < 0 ? 0 : version;
}

void IPlugBase::AppendParamValues(ByteChunk* chunk, int first, int count) const {
  for (int i = first; i < first + count; ++i) {
    const double v = GetParam(i)->Value();
    if (chunk->AppendValue(&v) <= 0) break;
  }
}

bool IPlugBase::SerializeParams(ByteChunk* chunk) {
  WDL_MutexLock lock(&mMutex);
  AppendParamValues(chunk, 0, NAutomatableParams());
  return true;
}

int IPlugBase::UnserializeParams(ByteChunk* chunk, int startPos) {
  WDL_MutexLock lock(&mMutex);
  int pos = startPos;
  for (int i = 0; i < NAutomatableParams() && pos >= 0; ++i) {
    double v = 0.0;
    pos = chunk->ReadValue(&v, pos);
    GetParam(i)->Set(v);
  }
  return pos;
}

bool IPlugBase::SerializeNonAutomatedParams(ByteChunk* chunk, int count) {
  WDL_MutexLock lock(&mMutex);
  AppendParamValues(chunk, NAutomatableParams(), std::min(count, mNonAutomatedParamCount));
  return true;
}

int IPlugBase::UnserializeNonAutomatedParams(ByteChunk* chunk, int startPos, int count) {
  WDL_MutexLock lock(&mMutex);
  if (startPos < 0 || count < 1) return startPos;
  const int first = NAutomatableParams();
  count = std::min(count, mNonAutomatedParamCount);
  int pos = startPos;
  for (int i = 0; i < count && pos >= 0; ++i) {
    double v = 0.0;
    pos = chunk->ReadValue(&v, pos);
    GetParam(first + i)->Set(v);
  }
  return pos;
}

bool IPlugBase::SerializePresets(ByteChunk* chunk) {
  for (int i = 0; i < mPresets.GetSize(); ++i) {
    IPreset* preset = mPresets.Get(i);
    chunk->AppendString(preset->mName);
    chunk->AppendBool(preset->mInitialized);
    if (preset->mInitialized) chunk->AppendChunk(&preset->mChunk);
    if (chunk->Size() <= 0) return false;
  }
  return true;
}

int IPlugBase::CheckState(ByteChunk* chunk, int startPos) {
  const long long end = startPos + 8LL * NAutomatableParams();
  return startPos < 0 || end > chunk->Size() ? -1 : static_cast<int>(end);
}

int IPlugBase::CheckPresets(ByteChunk* chunk, int startPos) {
  WDL_String name;
  int pos = startPos;
  for (int i = 0; i < mPresets.GetSize() && pos >= 0; ++i) {
    bool initialized = false;
    pos = chunk->ReadString(&name, pos);
    if (pos >= 0) pos = chunk->ReadBool(&initialized, pos);
    if (pos >= 0 && initialized) pos = CheckState(chunk, pos);
  }
  return pos;
}

int IPlugBase::UnserializePresets(ByteChunk* chunk, int startPos) {
  WDL_String name;
  int pos = startPos;
  if (startPos >= 0) {
    for (int i = 0; i < mPresets.GetSize() && pos >= 0; ++i) {
      IPreset* preset = mPresets.Get(i);
      pos = chunk->ReadString(&name, pos);
      CopyBounded(preset->mName, name.Get(), MAX_PRESET_NAME_LEN);
      pos = chunk->ReadBool(&preset->mInitialized, pos);
      if (preset->mInitialized) {
        pos = UnserializeState(chunk, pos);
        if (pos > 0) {
          preset->mChunk.Clear();
          SerializeState(&preset->mChunk);
        }
      }
    }
  }
  RestorePreset(mCurrentPresetIdx);
  return pos;
}

void IPlugBase::MakeDefaultPreset(const char* name, int nPresets) {
  for (int i = 0; i < nPresets; ++i) {
    IPreset* preset = GetNextUninitializedPreset(&mPresets);
    if (!preset) return;
    preset->mInitialized = true;
    CopyBounded(preset->mName, name ? name : "Empty", MAX_PRESET_NAME_LEN);
    SerializeState(&preset->mChunk);
  }
}

void IPlugBase::MakePreset(const char* name, ...) {
  IPreset* preset = GetNextUninitializedPreset(&mPresets);
  if (!preset) return;
  preset->mInitialized = true;
  CopyBounded(preset->mName, name, MAX_PRESET_NAME_LEN);
  va_list args;
  va_start(args, name);
  for (int i = 0; i < NAutomatableParams(); ++i) {
    const double v = NextPresetArg(args, GetParam(i));
    preset->mChunk.AppendValue(&v);
  }
  va_end(args);
}

void IPlugBase::MakePresetFromNamedParams(const char* name, int nParamsNamed, ...) {
  IPreset* preset = GetNextUninitializedPreset(&mPresets);
  if (!preset) return;
  preset->mInitialized = true;
  CopyBounded(preset->mName, name, MAX_PRESET_NAME_LEN);

  const int n = std::max(0, NAutomatableParams());
  std::vector<double> values(static_cast<size_t>(n), kUnsetPresetValue);
  va_list args;
  va_start(args, nParamsNamed);
  for (int i = 0; i < nParamsNamed; ++i) {
    const int idx = va_arg(args, int);
    IParam* param = GetParam(idx);
    // An index outside the automated parameters cannot tell its value's type.
    if (!param || idx >= n) break;
    values[static_cast<size_t>(idx)] = NextPresetArg(args, param);
  }
  va_end(args);

  for (int i = 0; i < n; ++i) {
    if (values[static_cast<size_t>(i)] == kUnsetPresetValue) values[static_cast<size_t>(i)] = GetParam(i)->Value();
    preset->mChunk.AppendValue(&values[static_cast<size_t>(i)]);
  }
}

void IPlugBase::MakePresetFromChunk(const char* name, ByteChunk* chunk) {
  IPreset* preset = GetNextUninitializedPreset(&mPresets);
  if (!preset) return;
  preset->mInitialized = true;
  CopyBounded(preset->mName, name, MAX_PRESET_NAME_LEN);
  preset->mChunk.AppendChunk(chunk);
}

void IPlugBase::MakePresetFromBlob(const char* name, const char* blob, int sizeOfChunk) {
  if (sizeOfChunk < 0) return;
  std::vector<unsigned char> bytes(static_cast<size_t>(sizeOfChunk), 0);
  DecodeBase64(blob, bytes.data(), sizeOfChunk);
  IPreset* preset = GetNextUninitializedPreset(&mPresets);
  if (!preset) return;
  preset->mInitialized = true;
  CopyBounded(preset->mName, name, MAX_PRESET_NAME_LEN);
  preset->mChunk.AppendBytes(bytes.data(), sizeOfChunk);
}

void IPlugBase::EnsureDefaultPreset() { MakeDefaultPreset("Empty", NPresets()); }

void IPlugBase::PruneUninitializedPresets() {
  int i = 0;
  while (i < mPresets.GetSize()) {
    if (mPresets.Get(i)->mInitialized)
      ++i;
    else
      mPresets.Delete(i, true);
  }
}

bool IPlugBase::RestorePreset(int idx) {
  IPreset* preset = mPresets.Get(idx);
  if (!preset) return false;
  if (preset->mInitialized) {
    if (UnserializeState(&preset->mChunk, 0) < 1) return false;
  } else {
    preset->mInitialized = true;
    MakeDefaultUserPresetName(&mPresets, preset->mName);
    if (!SerializeState(&preset->mChunk)) return false;
  }
  mCurrentPresetIdx = idx;
  PresetsChangedByHost();
  RedrawParamControls();
  return true;
}

bool IPlugBase::RestorePreset(const char* name) {
  if (!name || !name[0]) return false;
  for (int i = 0; i < mPresets.GetSize(); ++i)
    if (std::strcmp(mPresets.Get(i)->mName, name) == 0) return RestorePreset(i);
  return false;
}

const char* IPlugBase::GetPresetName(int idx) const {
  const IPreset* preset = mPresets.Get(idx);
  return preset ? preset->mName : "";
}

void IPlugBase::ModifyCurrentPreset(const char* name) {
  IPreset* preset = mPresets.Get(mCurrentPresetIdx);
  if (!preset) return;
  preset->mChunk.Clear();
  SerializeState(&preset->mChunk);
  if (name && name[0]) CopyBounded(preset->mName, name, MAX_PRESET_NAME_LEN);
}
