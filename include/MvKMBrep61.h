// MvKMBrep61: carries exact solid-model parts of the kernel inside the host
// toolkit's object model.
#ifndef MVKMBREP61_H
#define MVKMBREP61_H

#include "Mv61.h"
#include "element/MvKMBrep.h"
#include "frustrum/MvFrustrum.h"
#include "lib/MvKMBrepLib.h"
#include "onfly/MvKMBrepOnFly.h"

#endif
