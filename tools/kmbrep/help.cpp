#include "kmbrep/help.h"

#include "MvKMBrep61.h"
#include "ksample/kernel.h"
#if defined(KMBREP_WITH_OCCT)
#include "kocct/kernel.h"
#endif

namespace kmbrep {

namespace {

struct CommandPage {
  const char* name;
  const char* usage;    // the command's arguments, after "kmbrep NAME "
  const char* summary;  // one line for the overview
  const char* page;     // what it does, the options and an example
};

const char* const kTessellation =
    "  --level 0|1|2    how finely curved faces are cut into triangles, in\n"
    "                   proportion to the model's size: 0 (the default) keeps\n"
    "                   every triangle within 0.1% of the model's diagonal of\n"
    "                   the true surface and turns at most 22.5 degrees from\n"
    "                   one triangle to the next; 1 is 1.5 times and 2 twice as\n"
    "                   fine (more triangles, bigger files)\n"
    "  --absolute       fixed sizes in model units instead, whatever the\n"
    "                   model's size: faces within 0.6 units and 0.6 radians,\n"
    "                   edges within 0.25 units (coarse for a small model,\n"
    "                   fine for a large one); not with --level\n";

const char* const kLimit =
    "  --max-triangles N\n"
    "                   refuse a model that would make more than N triangles\n"
    "                   (default 20000000), counted before any is made\n";

const CommandPage kCommands[] = {
    {"demo", "[--out DIR]", "build the sample model and write every kind of output",
     "Builds a model of 24 coloured boxes, cylinders and spheres with the sample\n"
     "kernel, writes it into a host file, reads it back (checking every part),\n"
     "and writes the kernel file and every export: demo.mv61, demo.x_t,\n"
     "demo.obj with demo.mtl, demo.svg, demo.gltf, demo.glb and the 3D page\n"
     "demo.html. Prints what it wrote and how long each stage took.\n"
     "\n"
     "Options:\n"
     "  --out DIR        the folder to write into (default: out); made, with\n"
     "                   the folders above it, when missing\n"
     "\n"
     "Example:\n"
     "  kmbrep demo --out out\n"},
    {"info", "FILE... [--json] [--parts]", "what host files hold: elements, parts, colours, box, versions",
     "Reads host files and shows, for each file and in total: the elements,\n"
     "parts, faces, edges and distinct colours, the bounding box, the kernel\n"
     "that wrote the parts with the version stored with them, and the host\n"
     "file's format version.\n"
     "\n"
     "Options:\n"
     "  --json           the same as one JSON document, for scripts (fields:\n"
     "                   docs/info-json.md)\n"
     "  --parts          also list every part: its kind, faces and edges\n"
     "\n"
     "Example:\n"
     "  kmbrep info out/demo.mv61\n"},
    {"export", "FILE OUT.obj|OUT.gltf|OUT.glb|OUT.svg [options]", "the model as OBJ, glTF, binary glTF or an SVG picture",
     "Tessellates every part of a host file and writes the triangles and\n"
     "edges. The output's extension picks the format (in any case):\n"
     "  .obj   Wavefront OBJ with its .mtl materials beside it\n"
     "  .gltf  glTF 2.0, one file with its data inside\n"
     "  .glb   binary glTF 2.0\n"
     "  .svg   a picture of the model: faces turned away and everything\n"
     "         hidden behind nearer faces left out, visible edges and\n"
     "         outlines drawn, a caption with the file name and counts\n"
     "By default faces of one colour are merged across the whole file (the\n"
     "fewest draw calls); prints how many triangles it wrote (for a picture:\n"
     "how many are drawn, of how many in the model).\n"
     "\n"
     "Options:\n"
     "%TESS%"
     "%LIMIT%"
     "  --parts          glTF: keep each part as a node of its own, named by\n"
     "                   the kernel where it names parts, else after its\n"
     "                   element and place, with one mesh per colour of that\n"
     "                   part, so a viewer shows the model's structure\n"
     "  --view iso|front|top|side\n"
     "                   SVG: the direction of view (default iso: from the\n"
     "                   front, the right and above)\n"
     "  --size WxH       SVG: the picture's size in pixels (default 1024x768,\n"
     "                   64 to 4096 each way)\n"
     "\n"
     "Examples:\n"
     "  kmbrep export out/demo.mv61 model.glb --parts\n"
     "  kmbrep export out/demo.mv61 top.svg --view top --size 800x800\n"},
    {"view", "FILE OUT.html [--level 0|1|2 | --absolute] [--max-triangles N]", "a 3D page of the model, for any browser",
     "Writes one self-contained HTML file that shows the model in 3D in a\n"
     "current browser, with no server and no network: drag to orbit, right-\n"
     "drag (or shift-drag) to pan, wheel to zoom, \"Fit\" to see it all, \"Edges\"\n"
     "to show or hide the edges; the part under the pointer is named. The\n"
     "page carries its viewer (three.js) and the model with one node per part.\n"
     "\n"
     "Options:\n"
     "%TESS%"
     "%LIMIT%"
     "\n"
     "Example:\n"
     "  kmbrep view out/demo.mv61 demo.html\n"},
    {"transmit", "FILE KEY [--text|--binary]", "the parts as a kernel transmit file",
     "Writes every part of a host file as the kernel's own transmit file,\n"
     "named from KEY: KEY.x_t (text, the default) or KEY.x_b (binary), with the\n"
     "kernel's text header.\n"
     "\n"
     "Options:\n"
     "  --text           text form (KEY.x_t)\n"
     "  --binary         binary form (KEY.x_b)\n"
     "\n"
     "Example:\n"
     "  kmbrep transmit out/demo.mv61 parts --binary\n"},
    {"import", "KEY|MODEL OUT [--text|--binary]", "a kernel transmit file or a STEP/IGES/BREP model into a new host file",
     "Reads the kernel transmit file KEY.x_t or KEY.x_b (KEY may carry the\n"
     "extension) and writes its parts as one element into the new host file\n"
     "OUT. A MODEL ending in .step, .stp, .iges, .igs or .brep is read through\n"
     "the Open CASCADE kernel instead: one part per solid, with the model's\n"
     "names and colours, assemblies flattened into their placements,\n"
     "lengths in millimetres.\n"
     "\n"
     "Options:\n"
     "  --text           read KEY.x_t (needed when both files exist)\n"
     "  --binary         read KEY.x_b\n"
     "\n"
     "Example:\n"
     "  kmbrep import parts parts.mv61\n"
     "  kmbrep import bracket.step bracket.mv61\n"},
    {"convert", "MODEL OUT.obj|OUT.gltf|OUT.glb|OUT.svg [options]", "a STEP/IGES/BREP model straight to OBJ, glTF or SVG",
     "Reads a model file (.step, .stp, .iges, .igs or .brep) through the Open\n"
     "CASCADE kernel, as import does, and writes it as export would write a\n"
     "host file of its parts: the same formats and options.\n"
     "\n"
     "Options:\n"
     "%TESS%"
     "%LIMIT%"
     "\n"
     "Example:\n"
     "  kmbrep convert bracket.step bracket.gltf\n"},
};

const char* const kGeneral =
    "General options:\n"
    "  --quiet          no progress on standard error (it is shown only on a\n"
    "                   terminal, for work that runs longer than a second)\n"
    "  --help, -h       this overview; kmbrep help COMMAND or\n"
    "                   kmbrep COMMAND --help for one command\n"
    "  --verbose        after a failure, the library's reports behind it\n"
    "  --version        the tool's, library's and kernels' versions\n";

void replace(std::string& text, const std::string& marker, const char* value) {
  const size_t at = text.find(marker);
  if (at != std::string::npos) text.replace(at, marker.size(), value);
}

// A page with the shared option texts put in.
std::string fill(const char* page) {
  std::string text = page;
  replace(text, "%TESS%", kTessellation);
  replace(text, "%LIMIT%", kLimit);
  return text;
}

}  // namespace

std::string usageLines() {
  std::string text;
  for (const CommandPage& c : kCommands)
    text += std::string(text.empty() ? "usage: " : "       ") + "kmbrep " + c.name + " " + c.usage + "\n";
  return text;
}

std::string overviewHelp() {
  std::string text =
      "kmbrep: reads, inspects and exports solid-model parts carried in host\n"
      "files (.mv61), and writes and reads the kernel's transmit files.\n\n"
      "Commands:\n";
  for (const CommandPage& c : kCommands) {
    std::string name = c.name;
    name.resize(10, ' ');
    text += "  " + name + c.summary + "\n";
  }
  return text + "\n" + usageLines() + "\n" + kGeneral;
}

std::string commandHelp(const std::string& command) {
  for (const CommandPage& c : kCommands)
    if (command == c.name) return std::string("usage: kmbrep ") + c.name + " " + c.usage + "\n\n" + fill(c.page);
  return "";
}

std::string versionText() {
  int major = 0, minor = 0;
  ksample::version(major, minor);
  std::string text = std::string("kmbrep ") + MvKMBrepLib::version() + "\nlibrary: MvKMBrep61 " +
                     MvKMBrepLib::version() + ", build " + MvKMBrepLib::build() + "\nkernels: sample kernel " +
                     std::to_string(major) + "." + std::to_string(minor) +
                     " (host files .mv61, transmit files .x_t and .x_b)\n";
#if defined(KMBREP_WITH_OCCT)
  text += "         Open CASCADE " + std::to_string(kocct::versionMajor()) + "." +
          std::to_string(kocct::versionMinor()) +
          " (host files of its parts, models .step .stp .iges .igs .brep)\n";
#endif
  return text;
}

}  // namespace kmbrep
