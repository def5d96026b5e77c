#include "KeepLoaded.h"

#include <dlfcn.h>

void KeepLoaded(const void* symbol) {
  Dl_info info{};
  if (dladdr(symbol, &info) && info.dli_fname) dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}
