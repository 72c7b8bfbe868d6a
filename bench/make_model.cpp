// mv_bench_model BODIES FILE: writes a host file holding the demo model with
// BODIES bodies, in elements of at most 100 bodies each, for the scaling
// figures of `kmbrep export`.
#include "MvKMBrep61.h"
#include "app/demo_model.h"
#include "app/sample_app.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kBodiesPerElement = 100;

int fail(const char* what) {
  std::fprintf(stderr, "mv_bench_model: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return fail("usage: mv_bench_model BODIES FILE");
  const int bodies = std::atoi(argv[1]);
  if (bodies < 1) return fail("BODIES must be a positive number");
  ksamplehost::SampleApp app;
  if (!app.ok()) return fail("no kernel session");
  const std::vector<int> tags = ksamplehost::buildDemoModel(bodies);
  if (static_cast<int>(tags.size()) != bodies) return fail("demo model not built");
  MvAutoPtr<MvFileStream> out(MvFileStream::create(argv[2]));
  if (!out) return fail("cannot create the host file");
  for (int first = 0; first < bodies; first += kBodiesPerElement) {
    const int n = bodies - first < kBodiesPerElement ? bodies - first : kBodiesPerElement;
    MvAutoPtr<MvKMBrep> element(new MvKMBrep());
    MvVec<int> parts;
    // The element owns its bodies and gives them back when it goes.
    if (!element || !parts.append(tags.data() + first, n) || !element->appendKmPart(parts, 0) ||
        !out->writeObject(element)) {
      return fail("element not written");
    }
  }
  return out->close() ? 0 : fail("host file not completed");
}
