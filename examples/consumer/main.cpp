// A small host application: it starts the library with the sample kernel,
// puts kernel parts into an element, writes the element into a host stream,
// reads it back into a new element and tessellates it.
#include "MvKMBrep61.h"
#include "app/demo_model.h"
#include "app/sample_app.h"

#include <cstdio>
#include <vector>

int main() {
  // MvKMBrepLib::init, the kernel's frustrum and the twelve callbacks.
  ksamplehost::SampleApp app;
  if (!app.ok()) {
    std::fprintf(stderr, "consumer: cannot start the kernel: %s\n", app.error().c_str());
    return 1;
  }

  // An element owning three kernel bodies.
  const std::vector<int> bodies = ksamplehost::buildDemoModel(3);
  MvVec<int> parts;
  parts.append(bodies.data(), static_cast<int>(bodies.size()));
  MvAutoPtr<MvKMBrep> element(new MvKMBrep());
  if (!element || !element->appendKmPart(parts, 0)) return 1;

  // Write it into a host stream: the kernel's transmit travels inside it.
  MvAutoPtr<MvMemoryStream> stream(new MvMemoryStream());
  if (!stream->writeObject(element)) {
    std::fprintf(stderr, "consumer: write failed\n");
    return 1;
  }
  std::printf("wrote an element with %d parts: %d bytes\n", element->kmPart().length(), stream->size());

  // Read it back: the host creates the element by its type and the kernel
  // receives new bodies.
  stream->seek(0);
  MvAutoPtr<MvBase> object;
  if (!stream->readObject(object) || !object->isOfExactType(MvKMBrep::classTypeID())) {
    std::fprintf(stderr, "consumer: read failed\n");
    return 1;
  }
  MvKMBrep* back = static_cast<MvKMBrep*>(object.get());
  std::printf("read back an element with %d parts\n", back->kmPart().length());

  // Display shapes: faces merged by colour, edges as polylines.
  MvKMBrep::KmBrepTessParams params{};
  MvKMBrep::initializeTessParam(params, 1);
  MvAutoPtrVec<MvTriStripSet> shapes;
  MvAutoPtrVec<MvPolylineSet> edges;
  if (!back->getMvColorShapeList(params, shapes) || !back->getMvEdgeShape(params, edges)) {
    std::fprintf(stderr, "consumer: tessellation failed\n");
    return 1;
  }
  int triangles = 0;
  for (int i = 0; i < shapes.length(); ++i) triangles += shapes[i]->triangleCount();
  std::printf("tessellated: %d shapes, %d triangles, %d edge sets\n", shapes.length(), triangles,
              edges.length());
  return 0;
}
