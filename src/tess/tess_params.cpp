// Tessellation settings: filling a record relative to the model size or with
// absolute values, and sizing a relative record to an element's diagonal.
#include "element/MvKMBrep.h"

namespace {

constexpr double kPiOver8 = 0.39269908169872414;

// Makes a negative tolerance positive; zero, -0 and NaN stay as they are.
void dropSign(double& tol) {
  if (tol < 0.0) tol = -tol;
}

// A positive value in a scaled field is a fraction of the diagonal.
void scale(double& tol, double diag) {
  if (tol > 0.0) tol *= diag;
}

}  // namespace

unsigned MvKMBrep::initializeTessParam(KmBrepTessParams& kmTessPara, int level) {
  // Level factor: 1 gives 1.5, 2 and above give 2.0, anything else 1.0.
  const double k = level == 1 ? 1.5 : (level >= 2 ? 2.0 : 1.0);
  kmTessPara.bConditioned = 0;
  kmTessPara.uOption1 = 1;
  kmTessPara.uOption2 = 1;
  kmTessPara.uOption3 = 1;
  kmTessPara.uOption4 = 1;
  kmTessPara.uOption5 = 0;
  kmTessPara.uOption6 = 0;
  kmTessPara.uOption7 = 0;
  kmTessPara.uOption8 = 0;
  kmTessPara.uOption9 = 0;
  kmTessPara.uOption10 = 0;
  kmTessPara.uOption11 = 0;
  kmTessPara.dTol1 = 0.001;
  kmTessPara.dTol2 = kPiOver8;
  kmTessPara.dTol3 = 0.001;
  kmTessPara.dTol4 = kPiOver8;
  // Negative values in scaled fields are absolute sizes: dTol9 and dTol10
  // stay independent of the model size.
  kmTessPara.dTol5 = -0.01 * k;
  kmTessPara.dTol6 = -0.01 * k;
  kmTessPara.dTol7 = 0.0;
  kmTessPara.dTol8 = 6.0 * k;
  kmTessPara.dTol9 = -0.01 * k;
  kmTessPara.dTol10 = -k;
  kmTessPara.uOption12 = 1;
  return 1;
}

unsigned MvKMBrep::initializeAbsTessParam(KmBrepTessParams& kmTessPara) {
  kmTessPara.bConditioned = 1;
  kmTessPara.uOption1 = 1;
  kmTessPara.uOption2 = 1;
  kmTessPara.uOption3 = 1;
  kmTessPara.uOption4 = 1;
  kmTessPara.uOption5 = 1;
  kmTessPara.uOption6 = 1;
  kmTessPara.uOption7 = 0;
  kmTessPara.uOption8 = 0;
  kmTessPara.uOption9 = 0;
  kmTessPara.uOption10 = 0;
  kmTessPara.uOption11 = 0;
  kmTessPara.dTol1 = 0.6;
  kmTessPara.dTol2 = 0.6;
  kmTessPara.dTol3 = 0.25;
  kmTessPara.dTol4 = 0.25;
  kmTessPara.dTol5 = 0.01;
  kmTessPara.dTol6 = 0.01;
  kmTessPara.dTol7 = 0.0;
  kmTessPara.dTol8 = 6.0;
  kmTessPara.dTol9 = 0.01;
  kmTessPara.dTol10 = 1.0;
  kmTessPara.uOption12 = 1;
  return 1;
}

unsigned MvKMBrep::conditionTessParam(KmBrepTessParams& kmTessPara, float fBboxDiagLen) {
  // A record is sized once; later calls leave it as the first one made it.
  if (kmTessPara.bConditioned) return 1;
  kmTessPara.bConditioned = 1;
  const double diag = fBboxDiagLen;
  scale(kmTessPara.dTol1, diag);
  scale(kmTessPara.dTol3, diag);
  scale(kmTessPara.dTol7, diag);
  scale(kmTessPara.dTol8, diag);
  scale(kmTessPara.dTol9, diag);
  scale(kmTessPara.dTol10, diag);
  dropSign(kmTessPara.dTol1);
  dropSign(kmTessPara.dTol2);
  dropSign(kmTessPara.dTol3);
  dropSign(kmTessPara.dTol4);
  dropSign(kmTessPara.dTol5);
  dropSign(kmTessPara.dTol6);
  dropSign(kmTessPara.dTol7);
  dropSign(kmTessPara.dTol8);
  dropSign(kmTessPara.dTol9);
  dropSign(kmTessPara.dTol10);
  return 1;
}
