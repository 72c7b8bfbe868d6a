// Host scene nodes and display shapes: nodes with attributes, materials,
// triangle-strip sets with their triangle iterator, polyline sets and the
// B-rep node.
#ifndef MV_HOST_SHAPES_H
#define MV_HOST_SHAPES_H

#include "host/MvBase.h"
#include "host/MvShapeDataIter.h"
#include "host/MvVec.h"

class MV61_API MvAttribute : public MvBase {};

// Qualifies where in a scene path an attribute applies; null means everywhere.
class MV61_API MvPathQual : public MvRefCounted {};

class MV61_API MvMaterial : public MvAttribute {
 public:
  // Diffuse (0.8, 0.8, 0.8, 1), specular (0, 0, 0, 1), shininess 0.
  MvMaterial();
  unsigned setDiffuseColor(const MvVec4<float>& c);
  unsigned setSpecularColor(const MvVec4<float>& c);
  unsigned setShininess(float s);
  const MvVec4<float>& diffuseColor() const { return _diffuse; }
  const MvVec4<float>& specularColor() const { return _specular; }
  float shininess() const { return _shininess; }

 private:
  MvVec4<float> _diffuse;
  MvVec4<float> _specular;
  float _shininess;
};

class MV61_API MvNode : public MvBase {
 public:
  // Appends attr (the node takes a reference) with its path qualifier; 0 when
  // attr is null or the list cannot grow.
  unsigned appendAttribute(MvAttribute* attr, MvPathQual* qual);
  int attributeCount() const { return _attributes.length(); }
  MvAttribute* attribute(int i) const { return _attributes[i].get(); }

 private:
  MvAutoPtrVec<MvAttribute> _attributes;
  MvAutoPtrVec<MvPathQual> _qualifiers;
};

class MV61_API MvVertexShape : public MvNode {
 public:
  // How a kind of vertex data is bound: none, or one element per vertex.
  enum Binding { MV_BIND_NONE = 0, MV_BIND_PER_VERTEX = 1 };
};

// What the triangle iterator yields for one triangle.
struct MvTriangle {
  float vertices[3][3];
  float normals[3][3];
  float texCoords[3][2];
  float colors[3][3];
};

// Walks the triangles of a shape. Reference counted; hold it in an MvAutoPtr.
class MV61_API MvTriIter : public MvRefCounted {
 public:
  // Goes back to before the first triangle.
  virtual void reset() = 0;
  // Number of triangles.
  virtual int size() const = 0;
  // Advances by n triangles; the current triangle, or null past the end.
  virtual const MvTriangle* next(int n) = 0;
  // The current triangle, or null.
  virtual const MvTriangle* get() const = 0;
};

// Triangle strips. Vertices, normals (3 floats), texture coordinates
// (2 floats) and colours (3 floats) are stored contiguously for all strips;
// data whose binding is none is not stored and reads as zeros.
class MV61_API MvTriStripSet : public MvVertexShape {
 public:
  MvTriStripSet(Binding normalVecBinding = MV_BIND_PER_VERTEX, Binding texCoordBinding = MV_BIND_NONE,
                Binding colorBinding = MV_BIND_NONE);

  unsigned getBindings(Binding& normalVecBinding, Binding& texCoordBinding, Binding& colorBinding) const;
  // A new iterator over all triangles of all strips (strip of k vertices:
  // k - 2 triangles, every second one turned so that all keep the strip's
  // orientation); null (reported) when it cannot be made. The iterator holds
  // a counted reference to this shape, so the shape must be a counted host
  // object (made with new), and it sees strips added later.
  MvAutoPtr<MvTriIter> getTriIter() const;

  // Appends one strip whose vertices are read through the iterators (reset
  // first, then next(1) until null or size() elements); normals, texture
  // coordinates and colours are read only when bound. The trailing integer
  // is reserved and ignored. 0 (reported) when the strip has fewer than 3
  // vertices, a bound iterator yields fewer elements than there are
  // vertices, or storage cannot grow; the shape is then unchanged. The
  // iterators may read this shape's own arrays.
  unsigned addPrimitive(MvShapeDataIter<float, 3>& vertices, MvShapeDataIter<float, 3>& normals,
                        MvShapeDataIter<float, 2>& texCoords, MvShapeDataIter<float, 3>& colors,
                        int reserved);
  // Appends one strip from plain arrays of vertexCount elements; arrays of
  // unbound data may be null.
  unsigned addStrip(const float* vertices, const float* normals, const float* texCoords,
                    const float* colors, int vertexCount);

  // Makes room for vertexCount vertices (with their bound data) and
  // stripCount strips in all, so that adding strips up to those totals
  // allocates nothing. 1; 0 (reported) when the room cannot be had, the
  // shape's data then unchanged.
  unsigned reserve(long long vertexCount, long long stripCount);
  // Appends the triangles triIter yields, one three-vertex strip each, just
  // as addPrimitive would append them one at a time, but read straight from
  // the arrays of the shape triIter walks. Only when triIter was made by
  // getTriIter() of another shape with this shape's bindings and reserve()
  // has left room for all its triangles: true when done (triIter is then
  // reset); false, with nothing changed or reported, when the caller has to
  // walk triIter itself.
  bool appendTrianglesDirect(MvTriIter& triIter);

  int stripCount() const { return _stripStart.length(); }
  int vertexCount() const { return _vertices.length() / 3; }
  int triangleCount() const { return _triangles; }
  // First vertex index and vertex count of strip i.
  int stripStart(int i) const { return _stripStart[i]; }
  int stripLength(int i) const;
  // Stored arrays (null when empty or unbound).
  const float* vertices() const { return _vertices.ptr(); }
  const float* normals() const { return _normals.ptr(); }
  const float* texCoords() const { return _texCoords.ptr(); }
  const float* colors() const { return _colors.ptr(); }

 private:
  Binding _normalBinding;
  Binding _texCoordBinding;
  Binding _colorBinding;
  MvVec<float> _vertices;
  MvVec<float> _normals;
  MvVec<float> _texCoords;
  MvVec<float> _colors;
  MvVec<int> _stripStart;
  int _triangles = 0;
};

// Polylines, each a run of points (3 floats) stored contiguously.
class MV61_API MvPolylineSet : public MvVertexShape {
 public:
  // Appends a polyline of pointCount points (at least 2); 0 otherwise or
  // when storage cannot grow (the set is then unchanged).
  unsigned addPolyline(const float* points, int pointCount);
  int polylineCount() const { return _lineStart.length(); }
  int pointCount() const { return _points.length() / 3; }
  int lineStart(int i) const { return _lineStart[i]; }
  int lineLength(int i) const;
  const float* points() const { return _points.ptr(); }

 private:
  MvVec<float> _points;
  MvVec<int> _lineStart;
};

// The host's B-rep node.
class MV61_API MvBrep : public MvNode {};

#endif
