#include "kmbrep/export_view.h"

#include "kmbrep/export_gltf.h"
#include "kmbrep/markup_text.h"
#include "kmbrep/streamed_output.h"
#include "kmbrep/view_assets.h"

namespace kmbrep {

namespace {

void replaceAll(std::string& text, const std::string& marker, const std::string& value) {
  for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + value.size()))
    text.replace(at, marker.size(), value);
}

void writePieces(Sink& sink, const char* const* pieces) {
  for (; *pieces; ++pieces) sink.write(*pieces, std::char_traits<char>::length(*pieces));
}

}  // namespace

long long writeViewPage(const Scene& scene, const std::string& path, const std::string& title) {
  long long triangles = 0;
  writeStreamed(path, [&](Sink& sink) {
    std::string intro;
    for (const char* const* p = kViewIntro; *p; ++p) intro += *p;
    replaceAll(intro, "%%TITLE%%", markupText(title));
    replaceAll(intro, "%%SUMMARY%%",
               std::to_string(scene.parts) + (scene.parts == 1 ? " part, " : " parts, ") +
                   std::to_string(scene.triangles) + " triangles");
    sink.write(intro);
    writePieces(sink, kViewLibraries);
    writePieces(sink, kViewMiddle);
    Base64Sink base64(sink);
    triangles = writeGlb(scene, base64);
    base64.finish();
    writePieces(sink, kViewTail);
  });
  return triangles;
}

}  // namespace kmbrep
