// The kernels the tool drives: the sample kernel and, when built with it, the
// Open CASCADE adapter. A command picks its kernel from the data it reads
// (each kernel's transmit data starts with its own magic) and runs every
// kernel job through the functions here.
#ifndef KMBREP_KERNELS_H
#define KMBREP_KERNELS_H

#include <memory>
#include <string>
#include <vector>

#include "MvKMBrep61.h"
#include "kmbrep/model_io.h"
#include "ksample/kernel.h"

namespace kmbrep {

enum class Kernel { Sample, Occt };

// The kernel whose transmit data comes first in the file (a host file or a
// kernel file); the sample kernel when the file holds no kernel data or
// cannot be read (the command's reader then says why).
Kernel kernelOfFile(const std::string& path);

// The library and the kernel's host application for one command (one at a
// time). Throws ToolError when the kernel cannot be started, or is the Open
// CASCADE adapter and the tool was built without it.
class KernelSession {
 public:
  explicit KernelSession(Kernel kernel);
  ~KernelSession();
  KernelSession(const KernelSession&) = delete;
  KernelSession& operator=(const KernelSession&) = delete;

 private:
  struct Apps;
  std::unique_ptr<Apps> _apps;
};

// Jobs of the running session's kernel.
std::string kernelError();
// Writes the parts as the kernel file KEY plus suffix; false on failure.
bool transmitParts(const std::vector<int>& tags, const std::string& key, ksample::Format format);
// Reads the kernel file of KEY into new parts.
enum class Received { Ok, Damaged, Failed };
Received receiveParts(const std::string& key, ksample::Format format, std::vector<int>& tags);
// The triangles the face tessellation makes for the part from the sized
// record, -1 when the part does not exist. The sample kernel counts them
// without meshing; the Open CASCADE adapter meshes the part (the mesh is
// kept for the tessellation that follows) and counts.
long long faceTriangleCount(int tag, const MvKMBrep::KmBrepTessParams& params);
// What info shows of a part: the sample kernel's kind or the adapter's part
// name, faces, edges and each face's colour as displayed (its own, else the
// part's, else none).
struct PartFacts {
  std::string kind;  // sample kernel: box, cylinder, sphere
  std::string name;  // Open CASCADE: the part's name
  int faces = 0, edges = 0;
  std::vector<ksample::Rgba> faceColors;
};
// False when the part does not exist.
bool partFacts(int tag, PartFacts& facts);
// The running kernel for messages ("sample", "Open CASCADE") and for JSON
// ("sample", "occt").
const char* kernelLabel();
const char* kernelId();

// True for a model file name the Open CASCADE adapter reads (.step, .stp,
// .iges, .igs, .brep, any case).
bool isModelFile(const std::string& path);
// Reads a model file through the Open CASCADE adapter (its session must be
// running) into a new element owning the parts. Throws ToolError.
std::vector<LoadedElement> readModelFile(const std::string& path);
// The demo's Open CASCADE stage, run after the sample kernel's with the same
// arguments: a bracket made in code, written as DIR/bracket.step, imported
// into DIR/bracket.mv61 and exported as DIR/bracket.gltf and .svg. Prints a
// summary; says so and does nothing more without the adapter.
int runOcctDemo(const std::vector<std::string>& args);

}  // namespace kmbrep

#endif
