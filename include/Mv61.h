// Mv61: the host toolkit layer: object model, type system, error state,
// mutex, platform memory account, containers, shapes and object streams.
#ifndef MV61_H
#define MV61_H

#include "host/MvAutoPtr.h"
#include "host/MvBase.h"
#include "host/MvBox3f.h"
#include "host/MvErrorState.h"
#include "host/MvExport.h"
#include "host/MvGUID.h"
#include "host/MvHeap.h"
#include "host/MvLib.h"
#include "host/MvMutex.h"
#include "host/MvObjectStream.h"
#include "host/MvPartition.h"
#include "host/MvPlatform.h"
#include "host/MvRefCounted.h"
#include "host/MvShapeDataIter.h"
#include "host/MvShapes.h"
#include "host/MvString.h"
#include "host/MvType.h"
#include "host/MvVec.h"
#include "host/MvVecN.h"

#endif
