// Keeps the shared object holding symbol in the process until it ends, also
// when the host unloads it: for libraries with process-wide state, and for
// code that threads of ours still run after the plug-in is gone.
#pragma once

void KeepLoaded(const void* symbol);
