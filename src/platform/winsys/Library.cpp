// Loadable libraries and bundles with their entry points, counted per image.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "BaseServices.h"

namespace {

// A bundle folder, one object per folder while references to it are held.
struct Bundle {
  std::string path;
  std::string executable;  // empty when the bundle names none
  int refs = 0;
};

typedef int (*SwellDllMain)(HINSTANCE, int, void*);
typedef int (*DllMainProc)(HINSTANCE, int, void*);

std::recursive_mutex& libraryMutex() {
  static std::recursive_mutex m;
  return m;
}
std::map<uintptr_t, HINSTANCE>& loadedLibs() {
  static std::map<uintptr_t, HINSTANCE> libs;
  return libs;
}
std::map<std::string, Bundle*>& bundles() {
  static std::map<std::string, Bundle*> b;
  return b;
}
std::string& mainBundleOverride() {
  static std::string p;
  return p;
}

bool isDirectory(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

Bundle* openBundle(const char* path) {
  if (!isDirectory(path)) return nullptr;
  char real[PATH_MAX];
  if (!realpath(path, real)) return nullptr;
  std::lock_guard lock(libraryMutex());
  Bundle*& b = bundles()[real];
  if (!b) {
    b = new Bundle;
    b->path = real;
    std::string exe = SWELL_BundleExecutablePath(real);
    if (access(exe.c_str(), F_OK) == 0) b->executable = exe;
  }
  ++b->refs;
  return b;
}

void releaseBundle(Bundle* b) {
  if (!b) return;
  std::lock_guard lock(libraryMutex());
  if (--b->refs > 0) return;
  bundles().erase(b->path);
  delete b;
}

}  // namespace

struct SWELL_HINSTANCE {
  void* instance = nullptr;
  Bundle* bundle = nullptr;
  int refcnt = 0;
  SwellDllMain SWELL_dllMain = nullptr;
  DllMainProc dllMain = nullptr;
  void* lastSymbolRequested = nullptr;
};

std::string SWELL_BundleExecutablePath(const std::string& bundlePath) {
  std::string name = bundlePath;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  size_t slash = name.rfind('/');
  if (slash != std::string::npos) name = name.substr(slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name = name.substr(0, dot);
  return bundlePath + "/Contents/Linux-x86_64/" + name + ".so";
}

void SWELL_SetMainBundlePath(const std::string& path) { mainBundleOverride() = path; }

HINSTANCE LoadLibraryGlobals(const char* path, bool symbolsGlobal) {
  if (!path || !*path) return nullptr;
  int mode = RTLD_NOW | (symbolsGlobal ? RTLD_GLOBAL : RTLD_LOCAL);
  struct stat st;
  bool statOk = stat(path, &st) == 0;
  Bundle* bundle = nullptr;
  void* handle = nullptr;
  if (!statOk || S_ISDIR(st.st_mode)) bundle = openBundle(path);
  if (bundle) {
    if (!bundle->executable.empty()) {
      handle = dlopen(bundle->executable.c_str(), mode);
      if (!handle) {
        releaseBundle(bundle);
        return nullptr;
      }
    }
  } else {
    handle = dlopen(path, mode);
    if (!handle) return nullptr;
  }

  std::lock_guard lock(libraryMutex());
  uintptr_t key = bundle ? reinterpret_cast<uintptr_t>(bundle) : reinterpret_cast<uintptr_t>(handle);
  auto it = loadedLibs().find(key);
  if (it != loadedLibs().end()) {
    it->second->refcnt++;
    return it->second;
  }
  auto* rec = new SWELL_HINSTANCE;
  rec->instance = handle;
  rec->bundle = bundle;
  rec->refcnt = 1;
  loadedLibs()[key] = rec;
  if (handle) {
    rec->SWELL_dllMain = reinterpret_cast<SwellDllMain>(dlsym(handle, "SWELL_dllMain"));
    if (rec->SWELL_dllMain && !rec->SWELL_dllMain(rec, 1, nullptr)) {
      rec->SWELL_dllMain = nullptr;  // refused: no detach call either
      FreeLibrary(rec);
      return nullptr;
    }
    rec->dllMain = reinterpret_cast<DllMainProc>(dlsym(handle, "DllMain"));
    if (rec->dllMain && !rec->dllMain(rec, 1, nullptr)) {
      if (rec->SWELL_dllMain) rec->SWELL_dllMain(rec, 0, nullptr);
      rec->SWELL_dllMain = nullptr;
      rec->dllMain = nullptr;
      FreeLibrary(rec);
      return nullptr;
    }
  }
  return rec;
}

HINSTANCE LoadLibrary(const char* path) { return LoadLibraryGlobals(path, false); }

void* GetProcAddress(HINSTANCE inst, const char* name) {
  if (!inst || !name || !inst->instance) return nullptr;
  void* p = dlsym(inst->instance, name);
  if (p) inst->lastSymbolRequested = p;
  return p;
}

int FreeLibrary(HINSTANCE inst) {
  if (!inst) return 0;
  std::lock_guard lock(libraryMutex());
  bool last = inst->refcnt <= 1;
  void* handle = inst->instance;
  Bundle* bundle = inst->bundle;
  if (last) {
    uintptr_t key = bundle ? reinterpret_cast<uintptr_t>(bundle) : reinterpret_cast<uintptr_t>(handle);
    loadedLibs().erase(key);
    if (inst->SWELL_dllMain) {
      inst->SWELL_dllMain(inst, 0, nullptr);
      if (inst->dllMain) inst->dllMain(inst, 0, nullptr);
    }
  } else {
    inst->refcnt--;
  }
  if (bundle) releaseBundle(bundle);
  if (handle) dlclose(handle);
  if (last) delete inst;
  return 1;
}

int SWELL_LibraryRefCount(HINSTANCE inst) {
  std::lock_guard lock(libraryMutex());
  return inst ? inst->refcnt : 0;
}

int GetModuleFileName(HINSTANCE inst, char* buf, int size) {
  if (!buf || size < 1) return 0;
  buf[0] = 0;
  if (inst && inst->instance && !inst->bundle) {
    Dl_info info;
    if (!inst->lastSymbolRequested || !dladdr(inst->lastSymbolRequested, &info) || !info.dli_fname) return 0;
    lstrcpyn(buf, info.dli_fname, size);
    return int(strlen(buf));
  }
  std::string path;
  if (inst && inst->bundle) {
    path = inst->bundle->path;
  } else if (!mainBundleOverride().empty()) {
    path = mainBundleOverride();
  } else {
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
      exe[n] = 0;
      path = exe;
      size_t slash = path.rfind('/');
      if (slash != std::string::npos) path.resize(slash);
    }
  }
  if (path.size() > 8191) path.resize(8191);
  lstrcpyn(buf, path.c_str(), size);
  return int(strlen(buf));
}
