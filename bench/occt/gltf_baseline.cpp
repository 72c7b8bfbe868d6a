// OCCT's own route from STEP to glTF, the baseline of the convert figure:
// read the model into an XCAF document, mesh every shape with
// BRepMesh_IncrementalMesh at the deflection kmbrep convert uses at level 0
// (0.001 of the model's box diagonal, pi/8 radians), write it with
// RWGltf_CafWriter. Prints the number of triangles meshed.
//   occt_gltf_baseline MODEL.step OUT.gltf
#include <cmath>
#include <cstdio>

#include <BRepBndLib.hxx>
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRep_Tool.hxx>
#include <Bnd_Box.hxx>
#include <Message.hxx>
#include <Message_Messenger.hxx>
#include <Poly_Triangulation.hxx>
#include <STEPCAFControl_Reader.hxx>
#include <TColStd_IndexedDataMapOfStringString.hxx>
#include <TDocStd_Document.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Face.hxx>
#include <RWGltf_CafWriter.hxx>
#include <XCAFApp_Application.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  Message::DefaultMessenger()->ChangePrinters().Clear();
  Handle(TDocStd_Document) doc;
  XCAFApp_Application::GetApplication()->NewDocument("MDTV-XCAF", doc);
  STEPCAFControl_Reader reader;
  reader.SetColorMode(true);
  reader.SetNameMode(true);
  if (reader.ReadFile(argv[1]) != IFSelect_RetDone || !reader.Transfer(doc)) return 1;
  TDF_LabelSequence roots;
  XCAFDoc_DocumentTool::ShapeTool(doc->Main())->GetFreeShapes(roots);
  Bnd_Box box;
  for (int i = 1; i <= roots.Length(); ++i) BRepBndLib::AddOptimal(XCAFDoc_ShapeTool::GetShape(roots(i)), box, false, false);
  const double chord = 0.001 * std::sqrt(box.SquareExtent()), angle = M_PI / 8;
  long long triangles = 0;
  for (int i = 1; i <= roots.Length(); ++i) {
    const TopoDS_Shape shape = XCAFDoc_ShapeTool::GetShape(roots(i));
    BRepMesh_IncrementalMesh(shape, chord, false, angle, false);
    for (TopExp_Explorer f(shape, TopAbs_FACE); f.More(); f.Next()) {
      TopLoc_Location loc;
      const Handle(Poly_Triangulation) tri = BRep_Tool::Triangulation(TopoDS::Face(f.Current()), loc);
      if (!tri.IsNull()) triangles += tri->NbTriangles();
    }
  }
  RWGltf_CafWriter writer(argv[2], false);
  if (!writer.Perform(doc, TColStd_IndexedDataMapOfStringString(), Message_ProgressRange())) return 1;
  std::printf("%lld triangles\n", triangles);
  return 0;
}
