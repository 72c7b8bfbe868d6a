// The element links its holder as the host object it is, without seeing the
// holder's class (which sits above the element): the conversion is declared
// here and defined with the holder.
#ifndef MVKM_BASE_HOLDER_LINK_H
#define MVKM_BASE_HOLDER_LINK_H

class MvBase;
class MvKMBrepOnFly;

namespace mvkm {

// The holder as an MvBase; null for null.
MvBase* holderObject(const MvKMBrepOnFly* holder);

}  // namespace mvkm

#endif
