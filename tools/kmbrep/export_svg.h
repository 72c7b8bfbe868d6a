// SVG export: a flat-shaded picture of what a viewer sees from one direction.
// Faces turned away are culled and faces hidden behind nearer ones are left
// out; edges and silhouettes are drawn only where no nearer face covers them
// (tested against a depth buffer of the picture's size). A caption names the
// file, its part count and the triangles drawn.
#ifndef KMBREP_EXPORT_SVG_H
#define KMBREP_EXPORT_SVG_H

#include "kmbrep/scene.h"

#include <string>

namespace kmbrep {

enum class ViewDirection { Iso, Front, Top, Side };

struct PictureOptions {
  ViewDirection view = ViewDirection::Iso;
  int width = 1024;
  int height = 768;
  std::string caption;  // the file's name, shown with the counts
};

// Smallest and largest width or height of a picture, in pixels.
constexpr int kMinPictureSize = 64;
constexpr int kMaxPictureSize = 4096;

struct PictureCounts {
  long long drawn = 0;  // triangles facing the viewer and not wholly hidden
  long long total = 0;  // triangles of the model
};

// Writes the picture to path. Throws ToolError.
PictureCounts exportSvg(const Scene& scene, const std::string& path, const PictureOptions& options);

}  // namespace kmbrep

#endif
