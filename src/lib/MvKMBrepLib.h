// Start and stop of the plug-in, and its build identity.
#ifndef MVKM_LIB_KMBREPLIB_H
#define MVKM_LIB_KMBREPLIB_H

#include "host/MvExport.h"
#include "host/MvLib.h"

class MVKM_API MvKMBrepLib {
 public:
  // Counted. The first init starts the host toolkit, fixes the kernel schema
  // directory from MV_KORV_SUPPORT_PATH, else K_SCHEMA, else "/", creates
  // the kernel lock and registers the MvKMBrep type; the last fini undoes it.
  static void init();
  static void fini();

  // The stamped build identity (valid also before init).
  static const char* version();
  static const char* build();
  static MvBuildInfo::MvBuildStatus status();

  // The schema directory (the library's own buffer); null while not
  // initialised.
  static char* getKmSchemaPath();

  MvKMBrepLib& operator=(const MvKMBrepLib&) { return *this; }

  static MvBuildInfo _tBuildInfo;

 private:
  static int _refCount;
  static char* _kmSchemaPath;
};

#endif
