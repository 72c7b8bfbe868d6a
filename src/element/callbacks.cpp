// The process-wide registrations of the kernel callbacks and the
// nominal-geometry flag.
#include "element/MvKMBrep.h"

MvKMBrep::KmReadCB MvKMBrep::_pfKmReadCB = nullptr;
MvKMBrep::KmWriteCB MvKMBrep::_pfKmWriteCB = nullptr;
MvKMBrep::KmSplitCB MvKMBrep::_pfKmSplitCB = nullptr;
MvKMBrep::KmReleaseCB MvKMBrep::pfKmReleaseCB = nullptr;
MvKMBrep::KmVersionCB MvKMBrep::_pfKmVersionCB = nullptr;
MvKMBrep::KmTessCB MvKMBrep::_pfKmTessCB = nullptr;
MvKMBrep::KmEdgeTessCB MvKMBrep::_pfKmEdgeTessCB = nullptr;
MvKMBrep::KmBBoxCB MvKMBrep::_pfKmBBoxCB = nullptr;
MvKMBrep::KmBodyColorCB MvKMBrep::_pfKmBodyColorCB = nullptr;
MvKMBrep::KmMemoryRelCB MvKMBrep::_pfKmMemoryRelCB = nullptr;
MvKMBrep::KmCopyCB MvKMBrep::pfKmCopyCB = nullptr;
MvKMBrep::KmGoCB MvKMBrep::pfKmGoCB = nullptr;
unsigned MvKMBrep::_bWriteNominalGeom = 0;

unsigned MvKMBrep::setKmReadCallback(KmReadCB f) {
  _pfKmReadCB = f;
  return 1;
}

unsigned MvKMBrep::setKmWriteCallback(KmWriteCB f) {
  _pfKmWriteCB = f;
  return 1;
}

unsigned MvKMBrep::setKmSplitCallback(KmSplitCB f) {
  _pfKmSplitCB = f;
  return 1;
}

unsigned MvKMBrep::setKmReleaseCallback(KmReleaseCB f) {
  pfKmReleaseCB = f;
  return 1;
}

unsigned MvKMBrep::setKmVersionCallback(KmVersionCB f) {
  _pfKmVersionCB = f;
  return 1;
}

unsigned MvKMBrep::setKmTessCallback(KmTessCB f) {
  _pfKmTessCB = f;
  return 1;
}

unsigned MvKMBrep::setKmEdgeTessCallback(KmEdgeTessCB f) {
  _pfKmEdgeTessCB = f;
  return 1;
}

unsigned MvKMBrep::setKmBBoxCallback(KmBBoxCB f) {
  _pfKmBBoxCB = f;
  return 1;
}

unsigned MvKMBrep::setKmBodyColorCallback(KmBodyColorCB f) {
  _pfKmBodyColorCB = f;
  return 1;
}

unsigned MvKMBrep::setKmMemoryRelCallback(KmMemoryRelCB f) {
  _pfKmMemoryRelCB = f;
  return 1;
}

unsigned MvKMBrep::setKmCopyCallback(KmCopyCB f) {
  pfKmCopyCB = f;
  return 1;
}

unsigned MvKMBrep::setKmGoCallback(KmGoCB f) {
  pfKmGoCB = f;
  return 1;
}

unsigned MvKMBrep::setWriteNominalGeom(unsigned b) {
  _bWriteNominalGeom = b;
  return 1;
}

unsigned MvKMBrep::writeNominalGeom() { return _bWriteNominalGeom; }
