#include "app/demo_model.h"

#include "ksample/kernel.h"

#include <cmath>

namespace ksamplehost {

namespace {

const ksample::Rgba kPalette[] = {
    {0.86f, 0.20f, 0.18f, 1.0f}, {0.18f, 0.49f, 0.80f, 1.0f}, {0.22f, 0.70f, 0.30f, 1.0f},
    {0.95f, 0.77f, 0.06f, 1.0f}, {0.58f, 0.33f, 0.72f, 1.0f}, {0.95f, 0.50f, 0.13f, 1.0f},
    {0.30f, 0.75f, 0.75f, 1.0f}, {0.60f, 0.60f, 0.60f, 1.0f},
};
constexpr int kPaletteSize = sizeof kPalette / sizeof kPalette[0];

int makeBody(int i) {
  const int columns = 6;
  const double x = (i % columns) * 3.0;
  const double y = (i / columns % columns) * 3.0;
  const double z = (i / (columns * columns)) * 3.0;
  const ksample::Transform place =
      ksample::compose(ksample::translation(x, y, z), ksample::rotation(0.0, 0.0, 1.0, 0.3 * (i % 5)));
  switch (i % 3) {
    case 0:
      return ksample::makeBox(1.6, 1.2, 0.8 + 0.2 * (i % 4), place);
    case 1:
      return ksample::makeCylinder(0.7, 1.5 + 0.25 * (i % 3), place);
    default:
      return ksample::makeSphere(0.8, place);
  }
}

bool colorBody(int tag, int i) {
  const ksample::Rgba& base = kPalette[i % kPaletteSize];
  const int faces = ksample::faceCount(tag);
  for (int f = 0; f < faces; ++f) {
    // Every third body shows one face in the next palette colour.
    const bool accent = i % 3 == 0 && f == faces - 1;
    const ksample::Rgba& c = accent ? kPalette[(i + 1) % kPaletteSize] : base;
    if (ksample::setFaceColor(tag, f, c) != ksample::kOk) return false;
  }
  if (i % 4 == 0 && ksample::setBodyColor(tag, base) != ksample::kOk) return false;
  return true;
}

}  // namespace

std::vector<int> buildDemoModel(int bodies) {
  std::vector<int> tags;
  for (int i = 0; i < bodies; ++i) {
    const int tag = makeBody(i);
    if (tag == 0 || !colorBody(tag, i)) {
      if (tag != 0) tags.push_back(tag);
      ksample::deleteBodies(static_cast<int>(tags.size()), tags.data());
      return {};
    }
    tags.push_back(tag);
  }
  return tags;
}

}  // namespace ksamplehost
