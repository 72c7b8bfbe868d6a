// The kernel lock: one recursive host mutex, created by MvKMBrepLib::init,
// that serialises all of the library's kernel work.
#include "base/report.h"
#include "element/MvKMBrep.h"

MvMutex* MvKMBrep::s_pKorvaniteMutex = nullptr;

// A nested lock or unlock of the holding thread takes the mutex's inline
// path; the first lock and the last unlock call it.
unsigned MvKMBrep::staticLock(unsigned msecTimeOut) {
  if (s_pKorvaniteMutex && (s_pKorvaniteMutex->relock() || s_pKorvaniteMutex->lock(msecTimeOut))) return 1;
  return mvkm::fail("staticLock", "s_pKorvaniteMutex != NULL && s_pKorvaniteMutex->lock(msecTimeOut)");
}

unsigned MvKMBrep::staticUnlock() {
  if (s_pKorvaniteMutex && (s_pKorvaniteMutex->unlockNested() || s_pKorvaniteMutex->unlock())) return 1;
  return mvkm::fail("staticUnlock", "s_pKorvaniteMutex != NULL && s_pKorvaniteMutex->unlock()");
}
