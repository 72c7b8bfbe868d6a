// glTF 2.0 export: one self-contained .gltf file (the binary buffer embedded
// as a data URI). One mesh primitive per merged colour shape, with a material
// whose base colour is the shape's colour (metallic 0); edges as line strips.
#ifndef KMBREP_EXPORT_GLTF_H
#define KMBREP_EXPORT_GLTF_H

#include "kmbrep/display_model.h"

#include <string>

namespace kmbrep {

// Writes the model to path; returns the number of triangles written.
// Throws ToolError.
long long exportGltf(const DisplayModel& model, const std::string& path);

}  // namespace kmbrep

#endif
