// glTF 2.0 export, as a .gltf text file (the binary buffer embedded as a data
// URI) or a binary .glb. Every node of the scene becomes a named node with
// one mesh: one indexed triangle primitive per colour shape, with a material
// of its colour (one material per distinct colour in the file), and the
// node's edges as one line primitive. The file is written as it is made:
// the JSON first, then the buffer, read a second time from the shapes.
#ifndef KMBREP_EXPORT_GLTF_H
#define KMBREP_EXPORT_GLTF_H

#include "kmbrep/scene.h"
#include "kmbrep/streamed_output.h"

#include <string>

namespace kmbrep {

enum class GltfForm { Text, Binary };

// Writes the scene to path; returns the number of triangles written.
// Throws ToolError.
long long exportGltf(const Scene& scene, const std::string& path, GltfForm form);

// Writes the scene as a .glb into sink; returns the number of triangles.
// Throws ToolError.
long long writeGlb(const Scene& scene, Sink& sink);

// Text in a JSON string, with quotes and control characters escaped.
std::string jsonString(const std::string& text);

}  // namespace kmbrep

#endif
