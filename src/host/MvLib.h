// Start and stop of the host toolkit, and its build status codes.
#ifndef MV_HOST_LIB_H
#define MV_HOST_LIB_H

#include "host/MvExport.h"

class MV61_API MvLib {
 public:
  // Counted: the first init brings the toolkit up (platform, root type), the
  // matching last fini takes it down. Further calls only count.
  static void init();
  static void fini();
  // Number of init calls not yet matched by fini.
  static int initCount();
};

struct MV61_API MvBuildInfo {
  // A build status is its status character, widened.
  enum MvBuildStatus : int {
    MvBuildDevelopment = 'D',
    MvBuildAlpha = 'A',
    MvBuildBeta = 'B',
    MvBuildRelease = 'R',
  };
  char version[32];
  char build[32];
  MvBuildStatus status;
};

#endif
