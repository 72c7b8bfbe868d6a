// The element's type identity: its GUID and the shared type members.
#include "base/type_identity.h"
#include "element/MvKMBrep.h"

// {873A70E0-2AC9-11D1-9B6B-0080C7BB5997}
static constexpr _MvIID kMvKMBrepIID =
    mvMakeIID(0x873A70E0, 0x2AC9, 0x11D1, 0x9B, 0x6B, 0x00, 0x80, 0xC7, 0xBB, 0x59, 0x97);

MVKM_DEFINE_TYPE_IDENTITY(MvKMBrep, kMvKMBrepIID)
