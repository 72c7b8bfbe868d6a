// mv_peers SCRATCH_DIR: the same faces and colours merged by the library, by
// OpenSceneGraph's MergeGeometryVisitor and by Assimp's OptimizeMeshes step,
// and copied into fresh memory as the library's output is laid out (a block
// per array and colour). Only the merge itself is timed (CPU time of the
// thread); building each peer's scene is not. Prints one JSON object per
// line: faces, triangles per face, colours, and per side the median
// milliseconds and the number of passes behind it.
#include "faces.h"
#include "paired.h"

#include <assimp/BaseImporter.h>
#include <assimp/Importer.hpp>
#include <assimp/importerdesc.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <osg/Array>
#include <osg/Geode>
#include <osg/Geometry>
#include <osg/Material>
#include <osg/PrimitiveSet>
#include <osgUtil/Optimizer>

#include <climits>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace mvbench {
namespace {

// At most this many passes per side and configuration, and no new pass once
// a side has used this many seconds: the slowest peers take a minute a pass.
constexpr int kMaxPasses = 5;
constexpr double kSideBudgetSeconds = 6.0;

// Corner j of triangle t of a strip, every second triangle turned.
int corner(int t, int j) {
  const int c[3] = {t % 2 ? t + 1 : t, t % 2 ? t : t + 1, t + 2};
  return c[j];
}

// --- OpenSceneGraph: one Geometry per face in one Geode, the faces of one
// colour sharing one StateSet with a Material, which is what the visitor
// groups by.
osg::ref_ptr<osg::Geode> osgScene(const Faces& faces, int colors) {
  std::vector<osg::ref_ptr<osg::StateSet>> states;
  for (int c = 0; c < colors; ++c) {
    osg::ref_ptr<osg::StateSet> state = new osg::StateSet;
    osg::ref_ptr<osg::Material> material = new osg::Material;
    const MvVec4<float> rgba = colorOf(c);
    material->setDiffuse(osg::Material::FRONT_AND_BACK, osg::Vec4(rgba[0], rgba[1], rgba[2], rgba[3]));
    state->setAttribute(material.get());
    states.push_back(state);
  }
  osg::ref_ptr<osg::Geode> geode = new osg::Geode;
  for (int f = 0; f < faces.shapes.length(); ++f) {
    const MvTriStripSet& s = *faces.shapes[f];
    const int n = s.vertexCount();
    osg::ref_ptr<osg::Vec3Array> v = new osg::Vec3Array(n);
    osg::ref_ptr<osg::Vec3Array> nv = new osg::Vec3Array(n);
    osg::ref_ptr<osg::Vec2Array> t = new osg::Vec2Array(n);
    osg::ref_ptr<osg::Vec4Array> c = new osg::Vec4Array(n);
    for (int i = 0; i < n; ++i) {
      (*v)[i].set(s.vertices()[3 * i], s.vertices()[3 * i + 1], s.vertices()[3 * i + 2]);
      (*nv)[i].set(s.normals()[3 * i], s.normals()[3 * i + 1], s.normals()[3 * i + 2]);
      (*t)[i].set(s.texCoords()[2 * i], s.texCoords()[2 * i + 1]);
      (*c)[i].set(s.colors()[3 * i], s.colors()[3 * i + 1], s.colors()[3 * i + 2], 1.0f);
    }
    osg::ref_ptr<osg::Geometry> g = new osg::Geometry;
    g->setVertexArray(v.get());
    g->setNormalArray(nv.get(), osg::Array::BIND_PER_VERTEX);
    g->setTexCoordArray(0, t.get(), osg::Array::BIND_PER_VERTEX);
    g->setColorArray(c.get(), osg::Array::BIND_PER_VERTEX);
    g->addPrimitiveSet(new osg::DrawArrays(osg::PrimitiveSet::TRIANGLE_STRIP, 0, n));
    g->setStateSet(states[f % colors].get());
    geode->addDrawable(g.get());
  }
  return geode;
}

double osgPass(const Faces& faces, int colors) {
  osg::ref_ptr<osg::Geode> geode = osgScene(faces, colors);
  osgUtil::Optimizer::MergeGeometryVisitor merge;
  merge.setTargetMaximumNumberOfVertices(INT_MAX);
  const double seconds = timed([&] {
    merge.mergeGroup(*geode);
    return true;
  });
  return geode->getNumDrawables() == static_cast<unsigned>(colors) ? seconds : -1.0;
}

// --- Assimp: a loader that makes the scene in memory (one triangle mesh per
// face, one material per colour, all meshes in the root node), so that the
// importer owns it and can run its OptimizeMeshes step on it.
const Faces* gAssimpFaces = nullptr;
int gAssimpColors = 0;

class FacesLoader : public Assimp::BaseImporter {
 public:
  bool CanRead(const std::string& file, Assimp::IOSystem*, bool) const override {
    return file.size() > 8 && file.compare(file.size() - 8, 8, ".mvbench") == 0;
  }

 protected:
  const aiImporterDesc* GetInfo() const override {
    static const aiImporterDesc desc = {"mv_peers faces", "", "", "", 0, 0, 0, 0, 0, "mvbench"};
    return &desc;
  }

  void InternReadFile(const std::string&, aiScene* scene, Assimp::IOSystem*) override {
    const Faces& faces = *gAssimpFaces;
    const unsigned meshes = static_cast<unsigned>(faces.shapes.length());
    scene->mNumMaterials = static_cast<unsigned>(gAssimpColors);
    scene->mMaterials = new aiMaterial*[scene->mNumMaterials];
    for (unsigned c = 0; c < scene->mNumMaterials; ++c) {
      const MvVec4<float> rgba = colorOf(static_cast<int>(c));
      aiColor4D diffuse(rgba[0], rgba[1], rgba[2], rgba[3]);
      scene->mMaterials[c] = new aiMaterial;
      scene->mMaterials[c]->AddProperty(&diffuse, 1, AI_MATKEY_COLOR_DIFFUSE);
    }
    scene->mNumMeshes = meshes;
    scene->mMeshes = new aiMesh*[meshes];
    scene->mRootNode = new aiNode("root");
    scene->mRootNode->mNumMeshes = meshes;
    scene->mRootNode->mMeshes = new unsigned[meshes];
    for (unsigned f = 0; f < meshes; ++f) {
      const MvTriStripSet& s = *faces.shapes[static_cast<int>(f)];
      const unsigned n = static_cast<unsigned>(s.vertexCount());
      const unsigned triangles = static_cast<unsigned>(s.triangleCount());
      aiMesh* m = new aiMesh;
      m->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
      m->mMaterialIndex = f % scene->mNumMaterials;
      m->mNumVertices = n;
      m->mVertices = new aiVector3D[n];
      m->mNormals = new aiVector3D[n];
      m->mTextureCoords[0] = new aiVector3D[n];
      m->mNumUVComponents[0] = 2;
      m->mColors[0] = new aiColor4D[n];
      for (unsigned i = 0; i < n; ++i) {
        m->mVertices[i].Set(s.vertices()[3 * i], s.vertices()[3 * i + 1], s.vertices()[3 * i + 2]);
        m->mNormals[i].Set(s.normals()[3 * i], s.normals()[3 * i + 1], s.normals()[3 * i + 2]);
        m->mTextureCoords[0][i].Set(s.texCoords()[2 * i], s.texCoords()[2 * i + 1], 0.0f);
        m->mColors[0][i] = aiColor4D(s.colors()[3 * i], s.colors()[3 * i + 1], s.colors()[3 * i + 2], 1.0f);
      }
      m->mNumFaces = triangles;
      m->mFaces = new aiFace[triangles];
      for (unsigned t = 0; t < triangles; ++t) {
        aiFace& face = m->mFaces[t];
        face.mNumIndices = 3;
        face.mIndices = new unsigned[3];
        for (int j = 0; j < 3; ++j) face.mIndices[j] = static_cast<unsigned>(corner(static_cast<int>(t), j));
      }
      scene->mMeshes[f] = m;
      scene->mRootNode->mMeshes[f] = f;
    }
  }
};

double assimpPass(const Faces& faces, int colors, const std::string& file) {
  gAssimpFaces = &faces;
  gAssimpColors = colors;
  Assimp::Importer importer;
  importer.RegisterLoader(new FacesLoader);  // the importer owns its loaders
  if (!importer.ReadFile(file, 0)) return -1.0;
  const aiScene* merged = nullptr;
  const double seconds = timed([&] {
    merged = importer.ApplyPostProcessing(aiProcess_OptimizeMeshes);
    return merged != nullptr;
  });
  return merged && merged->mNumMeshes == static_cast<unsigned>(colors) ? seconds : -1.0;
}

// Median milliseconds of up to kMaxPasses passes (-1 when a pass failed)
// and the number of passes run.
template <class Pass>
std::pair<double, int> measure(Pass pass) {
  std::vector<double> times;
  double spent = 0.0;
  while (static_cast<int>(times.size()) < kMaxPasses && spent < kSideBudgetSeconds) {
    const double t = pass();
    if (t < 0.0) return {-1.0, static_cast<int>(times.size())};
    times.push_back(t);
    spent += t;
  }
  return {1e3 * median(times), static_cast<int>(times.size())};
}

}  // namespace
}  // namespace mvbench

int main(int argc, char** argv) {
  using namespace mvbench;
  if (argc != 2) {
    std::fprintf(stderr, "usage: mv_peers SCRATCH_DIR\n");
    return 2;
  }
  const std::string file = std::string(argv[1]) + "/faces.mvbench";
  std::ofstream(file) << "faces\n";  // the importer wants the file to exist
  MvKMBrepLib::init();
  struct Config {
    int faces, trianglesPerFace, colors;
  };
  const Config configs[] = {{10000, 100, 16}, {100000, 10, 16}, {100000, 10, 1000}, {100000, 10, 100000},
                            {1000000, 2, 16}};
  for (const Config& c : configs) {
    Faces faces;
    if (!makeFaces(faces, c.faces, c.trianglesPerFace, c.colors)) {
      std::fprintf(stderr, "mv_peers: faces not made\n");
      return 1;
    }
    const auto lib = measure([&] { return mergePass(faces, c.colors); });
    const auto copy = measure([&] { return copyPass(faces, c.colors, true); });
    const auto osg = measure([&] { return osgPass(faces, c.colors); });
    const auto assimp = measure([&] { return assimpPass(faces, c.colors, file); });
    std::printf(
        "{\"faces\": %d, \"triangles_per_face\": %d, \"colors\": %d, \"library_ms\": %.3f, \"library_passes\": %d, "
        "\"copy_ms\": %.3f, \"copy_passes\": %d, \"osg_ms\": %.3f, \"osg_passes\": %d, \"assimp_ms\": %.3f, "
        "\"assimp_passes\": %d}\n",
        c.faces, c.trianglesPerFace, c.colors, lib.first, lib.second, copy.first, copy.second, osg.first,
        osg.second, assimp.first, assimp.second);
    std::fflush(stdout);
  }
  MvKMBrepLib::fini();
  return 0;
}
