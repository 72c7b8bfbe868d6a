// Reading the stamped build identity.
#ifndef MVKM_LIB_BUILD_IDENTITY_H
#define MVKM_LIB_BUILD_IDENTITY_H

namespace mvkm {

const char* stampedVersion();
const char* stampedBuild();
char stampedStatus();

}  // namespace mvkm

#endif
