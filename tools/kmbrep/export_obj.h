// Wavefront OBJ export: one object per merged shape with a material of its
// colour (in a companion MTL file), edges as line elements.
#ifndef KMBREP_EXPORT_OBJ_H
#define KMBREP_EXPORT_OBJ_H

#include "kmbrep/display_model.h"

#include <string>

namespace kmbrep {

// Writes path (…/name.obj) and the material library beside it (name.mtl).
// Returns the number of triangles written. Throws ToolError.
long long exportObj(const DisplayModel& model, const std::string& path);

}  // namespace kmbrep

#endif
