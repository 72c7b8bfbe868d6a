#include "host/MvLib.h"

#include "host/MvBase.h"
#include "host/MvPlatform.h"

namespace {
int gInitCount = 0;
}

void MvLib::init() {
  if (++gInitCount > 1) return;
  MvPlatform::instance();
  if (!MvBase::__type) MvBase::constructType();
}

void MvLib::fini() {
  // An unmatched fini is ignored: the count never goes below 0.
  if (gInitCount == 0) return;
  if (--gInitCount > 0) return;
  // The platform and the root type record live until process exit: objects
  // and vectors may outlive the toolkit's last fini.
}

int MvLib::initCount() { return gInitCount; }
