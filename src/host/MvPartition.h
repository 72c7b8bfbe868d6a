// The version of the host file format being written.
#ifndef MV_HOST_PARTITION_H
#define MV_HOST_PARTITION_H

#include "host/MvExport.h"

class MV61_API MvPartition {
 public:
  static constexpr int kCurrentMajor = 8;
  static constexpr int kCurrentMinor = 2;

  // The major and minor version of the file written; 1.
  static unsigned getVersion(int& major, int& minor);
  // Sets what getVersion reports (for writing files of an older version).
  static void setVersion(int major, int minor);
};

#endif
