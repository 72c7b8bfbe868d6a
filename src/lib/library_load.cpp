// Loading and unloading the library file. At load the library only asks
// not to be told of thread starts and ends; at unload the frustrum drops the
// host stream reference it may still hold.
#include "base/current_host_stream.h"

#if defined(_WIN32)
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    // May answer FALSE (for a module with thread-local storage, say); the
    // notifications are only an optimisation, so loading goes on.
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    mvkm::dropHostStream();
  }
  return TRUE;
}

#endif

// Elsewhere nothing is needed at load, and the unload hook is gKmStream's own
// static destructor, which drops the reference it still holds when the
// library is unloaded or the process ends.
