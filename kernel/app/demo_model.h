// The built-in demonstration model: coloured boxes, cylinders and spheres on
// a grid.
#ifndef KSAMPLEHOST_DEMO_MODEL_H
#define KSAMPLEHOST_DEMO_MODEL_H

#include <vector>

namespace ksamplehost {

// Makes `bodies` bodies in the running kernel session, cycling through box,
// cylinder and sphere, each placed on a grid and coloured from an
// eight-colour palette (some faces get a colour of their own, some bodies a
// body colour). Returns their tags, or an empty list when the kernel refused
// (ksample::lastError() says why); bodies made before a refusal are deleted.
std::vector<int> buildDemoModel(int bodies);

}  // namespace ksamplehost

#endif
