// SVG export: a flat-shaded picture of the model seen from above and in
// front, faces drawn far to near, edges on top.
#ifndef KMBREP_EXPORT_SVG_H
#define KMBREP_EXPORT_SVG_H

#include "kmbrep/display_model.h"

#include <string>

namespace kmbrep {

// Writes the picture to path; returns the number of triangles drawn (those
// facing the viewer). Throws ToolError.
long long exportSvg(const DisplayModel& model, const std::string& path);

}  // namespace kmbrep

#endif
