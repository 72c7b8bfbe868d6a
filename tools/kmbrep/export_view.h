// The 3D page: one self-contained HTML file with a three.js viewer and the
// model as binary glTF (one node per part), for any current browser, with no
// server and no network.
#ifndef KMBREP_EXPORT_VIEW_H
#define KMBREP_EXPORT_VIEW_H

#include "kmbrep/scene.h"

#include <string>

namespace kmbrep {

// Writes the page to path; title names the model on the page. Returns the
// number of triangles. Throws ToolError.
long long writeViewPage(const Scene& scene, const std::string& path, const std::string& title);

}  // namespace kmbrep

#endif
