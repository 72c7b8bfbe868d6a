// The Open CASCADE kernel adapter: parts are OCCT shapes named by tags, with
// a name, a part colour and one colour slot per face. Models are read from
// STEP, IGES and OCCT's BREP files; parts travel through the host's frustrum
// (text: OCCT's text shape format, binary: its binary shape format) inside
// the adapter's record (docs/occt-format.md); faces and edges are tessellated
// with OCCT's incremental mesher.
//
// Every function is thread-safe and catches every exception of OCCT and of
// the standard library: a failing function returns one of the error codes
// below and sets lastError() for the calling thread (each fallible call
// clears it first). No exception leaves this interface.
#ifndef KOCCT_KERNEL_H
#define KOCCT_KERNEL_H

#include <string>
#include <vector>

#include <TopoDS_Shape.hxx>

#include "ksample/frustrum.h"

namespace kocct {

enum ErrorCode : int {
  kOk = 0,
  kErrNotStarted = 2001,
  kErrAlreadyStarted = 2002,
  kErrInvalidArgument = 2003,
  kErrNoSuchPart = 2004,
  kErrFrustrum = 2005,
  kErrCorruptData = 2006,
  kErrNoMemory = 2007,
  kErrNoTagsLeft = 2008,
  kErrModelFile = 2009,  // a model file that cannot be read
  kErrEmptyModel = 2010,  // "the model is empty"
  kErrKernel = 2011       // OCCT failed (lastError has its message)
};

// The version the adapter reports: the OCCT release it is built against.
int versionMajor();
int versionMinor();

// Data formats of the frustrum: binary (OCCT's binary shape format) and text.
enum class Format : int { Binary = 1, Text = 2 };

// RGBA in [0, 1]; a negative alpha stands for no colour.
struct Rgba {
  float r = 0.0f, g = 0.0f, b = 0.0f, a = -1.0f;
  bool isSet() const { return a >= 0.0f; }
};

// One part: a located shape (solid, shell, face set), its name, its own
// colour and either no face colours or one colour slot per face, in the
// order of TopExp::MapShapes(shape, TopAbs_FACE).
struct Part {
  TopoDS_Shape shape;
  std::string name;
  Rgba color;
  std::vector<Rgba> faceColors;
};

// The calling thread's last error text (at most 511 characters); empty after
// a successful call.
std::string lastError();

// Starts a session with the given frustrum (every entry must be set) and
// calls its startFileFrustrum. Also silences OCCT's default message printers,
// which would write the readers' progress to standard output. Fails with
// kErrAlreadyStarted, kErrInvalidArgument (incomplete table), kErrFrustrum.
int startSession(const ksample::Frustrum& frustrum);
// Deletes every part and calls stopFileFrustrum; kErrNotStarted, kErrFrustrum.
int stopSession();

// Fills in versionMajor() and versionMinor(); returns 0.
int version(int& major, int& minor);

// Enters a part under a new tag (positive, never reused in the process).
// kErrInvalidArgument for a null shape, a shape without faces, a face colour
// list whose length is neither 0 nor the face count, or a colour outside
// [0, 1]; kErrNotStarted, kErrNoTagsLeft.
int addPart(const Part& part, int& tag);
// A copy of the part (its shape shares the geometry); false with
// kErrNoSuchPart when there is none.
bool getPart(int tag, Part& part);
// A new part with the same shape, name and colours; kErrNoSuchPart.
int copyPart(int tag, int& copy);
// Deletes every listed part that exists; kErrNoSuchPart names the first that
// did not, kErrInvalidArgument a negative count or a null list.
int deleteParts(int count, const int* tags);
int partCount();
// Face count and edge count (degenerate edges left out) of the part, -1
// (kErrNoSuchPart) when it does not exist.
int faceCount(int tag);
int edgeCount(int tag);

// Reads a model file, chosen by its extension (.step/.stp, .iges/.igs, .brep,
// case-insensitive), into new parts, one per solid (or one per leaf product
// without solids, holding its shells and faces), in the model's order with
// assemblies flattened into their placements, lengths in millimetres. STEP
// and IGES bring names and colours: a face's own colour, else its solid's,
// else its product's (or instance's). Creates nothing on failure:
// kErrModelFile ("cannot read 'F': ..."), kErrEmptyModel ("the model is
// empty"), kErrNotStarted, kErrNoMemory, kErrNoTagsLeft.
int importModel(const std::string& path, std::vector<int>& tags);
// Writes the parts as a STEP file (AP214, millimetres), each a product with
// its name, its colour and its face colours. kErrNoSuchPart, kErrModelFile.
int exportStep(const std::string& path, const std::vector<int>& tags);

// Transmits the parts, in list order, through the frustrum (guise 4) as one
// record of the given format. A failure after the open abandons the stream.
// kErrNotStarted, kErrInvalidArgument, kErrNoSuchPart, kErrFrustrum,
// kErrNoMemory, kErrKernel.
int transmit(int count, const int* tags, const char* key, int keyLength, Format format,
             bool writeNominalGeom = false);
// Reads one record through the frustrum until end of data, validates all of
// it and only then creates its parts, in record order. tags is set to a
// std::malloc'ed array of count new tags (null when count is 0), to be given
// to freeTags. On failure count is 0, tags null and no part is created:
// kErrNotStarted, kErrInvalidArgument, kErrFrustrum, kErrCorruptData
// (lastError says why), kErrNoMemory, kErrNoTagsLeft.
int receive(const char* key, int keyLength, Format format, int& count, int*& tags);
void freeTags(int* tags);

// One tessellated face: nodes with their normals (already turned for a
// reversed face and placed by the part's location), and triangles as three
// node indices each, wound counter-clockwise seen from outside.
struct FaceMesh {
  int faceIndex = 0;
  Rgba color;  // the face's own colour, else the part's, else none
  std::vector<float> positions;
  std::vector<float> normals;
  std::vector<int> triangles;
};

// Meshes the part's faces with BRepMesh_IncrementalMesh (chord deflection and
// angle in radians, both positive) and returns every face with triangles.
// kErrNoSuchPart, kErrInvalidArgument, kErrKernel, kErrNoMemory.
int tessellateFaces(int tag, double chord, double angle, std::vector<FaceMesh>& faces);
// The number of triangles tessellateFaces gives at these tolerances (the
// part is meshed, and the mesh kept for the tessellation that follows).
// Same failures.
int triangleCount(int tag, double chord, double angle, long long& count);
// The part's edges as polylines of xyz points, taken from the face mesh made
// at the same tolerances (the nodes the faces share along each edge), so edge
// lines and face meshes meet; an edge of no face is discretised on its own.
// Degenerate edges give none. Same failures.
int tessellateEdges(int tag, double chord, double angle, std::vector<std::vector<float>>& lines);
// The part's axis-aligned box (OCCT's precise box); kErrNoSuchPart, kErrKernel.
int boundingBox(int tag, double minPt[3], double maxPt[3]);
// True and the colour when the part exists and has a colour of its own.
bool partColor(int tag, Rgba& rgba);
// True when the part exists and a colour of its own or of a face.
bool hasColor(int tag);

// Draws the part's edges through the frustrum's segment functions:
//  openSegment(0, tag, {edgeCount}, 0, {0.0}, 0, {0}),
//  outputSegment(1, tag, {edgeIndex}, pointCount, xyz..., 0, {0, 0}) per edge,
//  closeSegment with the open arguments,
// at the given tolerances. Returns 0, the first nonzero status of a segment
// call (an opened segment is always closed), or kErrNotStarted,
// kErrNoSuchPart, kErrKernel, kErrNoMemory.
int render(int tag, double chord, double angle);

}  // namespace kocct

#endif
