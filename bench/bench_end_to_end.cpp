// Figure 9: the demo model scaled to 1,000 bodies, end to end with the
// sample kernel: written into a host file, read back, and tessellated
// (faces merged by colour, and edges). Each stage is timed on its own.
#include "MvKMBrep61.h"
#include "app/demo_model.h"
#include "app/sample_app.h"
#include "bench_kernel.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

namespace mvbench {
namespace {

constexpr int kBodies = 1000;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_EndToEnd_Library(benchmark::State& state) {
  ksamplehost::SampleApp app;
  if (!app.ok()) return state.SkipWithError("no kernel session");
  const std::vector<int> tags = ksamplehost::buildDemoModel(kBodies);
  if (static_cast<int>(tags.size()) != kBodies) return state.SkipWithError("demo model not built");
  MvAutoPtr<MvKMBrep> model(new MvKMBrep());
  MvVec<int> parts;
  parts.append(tags.data(), kBodies);
  // The element owns the bodies and gives them back when it goes.
  if (!model || !model->appendKmPart(parts, 0)) return state.SkipWithError("element not made");
  const std::string path = scratchDirectory() + "/demo.mv";

  double write = 0.0;
  double read = 0.0;
  double tessellate = 0.0;
  long long triangles = 0;
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    {
      MvAutoPtr<MvFileStream> out(MvFileStream::create(path.c_str()));
      if (!out || !out->writeObject(model) || !out->close()) return state.SkipWithError("write failed");
    }
    write += secondsSince(start);

    start = Clock::now();
    MvAutoPtr<MvBase> object;
    {
      MvAutoPtr<MvFileStream> in(MvFileStream::open(path.c_str()));
      if (!in || !in->readObject(object) || !object || !object->isOfExactType(MvKMBrep::classTypeID()))
        return state.SkipWithError("read failed");
    }
    read += secondsSince(start);
    MvKMBrep* back = static_cast<MvKMBrep*>(object.get());
    if (back->kmPart().length() != kBodies) return state.SkipWithError("bodies lost");

    start = Clock::now();
    MvKMBrep::KmBrepTessParams params{};
    MvKMBrep::initializeTessParam(params, 1);
    MvAutoPtrVec<MvTriStripSet> shapes;
    MvAutoPtrVec<MvPolylineSet> edges;
    if (!back->getMvColorShapeList(params, shapes) || !back->getMvEdgeShape(params, edges))
      return state.SkipWithError("tessellation failed");
    tessellate += secondsSince(start);

    state.PauseTiming();
    triangles = 0;
    for (int i = 0; i < shapes.length(); ++i) triangles += shapes[i]->triangleCount();
    shapes.setLength(0);
    edges.setLength(0);
    object = nullptr;
    state.ResumeTiming();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["write_s"] = write / n;
  state.counters["read_s"] = read / n;
  state.counters["tessellate_s"] = tessellate / n;
  state.counters["triangles"] = static_cast<double>(triangles);
}

}  // namespace

BENCHMARK(BM_EndToEnd_Library)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

}  // namespace mvbench
