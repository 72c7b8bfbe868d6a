#include "tess/tess_support.h"

#include <cmath>

namespace {

using Params = MvKMBrep::KmBrepTessParams;

constexpr double kPiOver8 = 0.39269908169872414;

std::vector<unsigned> options(const Params& p) {
  return {p.bConditioned, p.uOption1, p.uOption2, p.uOption3, p.uOption4,  p.uOption5, p.uOption6,
          p.uOption7,     p.uOption8, p.uOption9, p.uOption10, p.uOption11, p.uOption12};
}

std::vector<double> tolerances(const Params& p) {
  return {p.dTol1, p.dTol2, p.dTol3, p.dTol4, p.dTol5, p.dTol6, p.dTol7, p.dTol8, p.dTol9, p.dTol10};
}

TEST(TessParams, RelativeRecordPerLevel) {
  const struct {
    int level;
    double k;
  } cases[] = {{-1, 1.0}, {0, 1.0}, {1, 1.5}, {2, 2.0}, {7, 2.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    Params p;
    std::memset(&p, 0xAB, sizeof p);
    EXPECT_EQ(MvKMBrep::initializeTessParam(p, c.level), 1u);
    EXPECT_EQ(options(p), (std::vector<unsigned>{0, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(tolerances(p), (std::vector<double>{0.001, kPiOver8, 0.001, kPiOver8, -0.01 * c.k, -0.01 * c.k, 0.0,
                                                  6.0 * c.k, -0.01 * c.k, -c.k}));

    // Sized to D = 10: scaled fractions, absolute values made positive.
    EXPECT_EQ(MvKMBrep::conditionTessParam(p, 10.0f), 1u);
    EXPECT_EQ(p.bConditioned, 1u);
    EXPECT_EQ(tolerances(p), (std::vector<double>{0.001 * 10.0, kPiOver8, 0.001 * 10.0, kPiOver8, 0.01 * c.k,
                                                  0.01 * c.k, 0.0, 6.0 * c.k * 10.0, 0.01 * c.k, c.k}));
    // Sized once: a second diagonal changes nothing.
    const Params sized = p;
    EXPECT_EQ(MvKMBrep::conditionTessParam(p, 100.0f), 1u);
    EXPECT_EQ(std::memcmp(&p, &sized, sizeof p), 0);
  }
}

TEST(TessParams, AbsoluteRecordIsNeverResized) {
  Params p;
  EXPECT_EQ(MvKMBrep::initializeAbsTessParam(p), 1u);
  EXPECT_EQ(options(p), (std::vector<unsigned>{1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(tolerances(p), (std::vector<double>{0.6, 0.6, 0.25, 0.25, 0.01, 0.01, 0.0, 6.0, 0.01, 1.0}));
  const Params before = p;
  for (float d : {0.5f, 10.0f, -3.0f, 0.0f}) EXPECT_EQ(MvKMBrep::conditionTessParam(p, d), 1u);
  EXPECT_EQ(std::memcmp(&p, &before, sizeof p), 0);
}

TEST(TessParams, ConditioningSignRules) {
  Params p;
  MvKMBrep::initializeTessParam(p, 0);
  p.uOption7 = 77;
  p.dTol1 = -0.5;  // scaled field, absolute size
  p.dTol2 = -0.25;  // never scaled
  p.dTol3 = 0.0;
  p.dTol7 = -0.0;
  p.dTol8 = 2.0;
  p.dTol9 = std::nan("");
  EXPECT_EQ(MvKMBrep::conditionTessParam(p, 4.0f), 1u);
  EXPECT_EQ(p.dTol1, 0.5);
  EXPECT_EQ(p.dTol2, 0.25);
  EXPECT_EQ(p.dTol3, 0.0);
  EXPECT_TRUE(std::signbit(p.dTol7));  // -0 stays as it is
  EXPECT_EQ(p.dTol8, 8.0);
  EXPECT_TRUE(std::isnan(p.dTol9));
  EXPECT_EQ(p.uOption7, 77u);
}

}  // namespace
