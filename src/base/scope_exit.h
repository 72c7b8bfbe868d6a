// Giving a resource back from a destructor while an exception may be
// passing through.
#ifndef MVKM_BASE_SCOPE_EXIT_H
#define MVKM_BASE_SCOPE_EXIT_H

#include <exception>

namespace mvkm {

// Runs `giveBack` for a guard made when `inFlightAtStart` exceptions were in
// flight. A report or callback in it may throw; while another exception is
// already passing, that one wins and the new one is stopped here.
template <class F>
void giveBackFromDestructor(int inFlightAtStart, F giveBack) {
  if (std::uncaught_exceptions() > inFlightAtStart) {
    try {
      giveBack();
    } catch (...) {
    }
  } else {
    giveBack();
  }
}

}  // namespace mvkm

#endif
