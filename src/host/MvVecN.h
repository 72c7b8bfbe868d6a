// Small float tuples stored in the vectors: points and normals (3), texture
// coordinates (2) and colours (4: red, green, blue, alpha). Plain data only.
#ifndef MV_HOST_VECN_H
#define MV_HOST_VECN_H

template <class T>
struct MvVec2 {
  T v[2];
  T& operator[](int i) { return v[i]; }
  const T& operator[](int i) const { return v[i]; }
};

template <class T>
struct MvVec3 {
  T v[3];
  T& operator[](int i) { return v[i]; }
  const T& operator[](int i) const { return v[i]; }
  // Component by component.
  MvVec3 operator-(const MvVec3& o) const { return MvVec3{{v[0] - o.v[0], v[1] - o.v[1], v[2] - o.v[2]}}; }
};

template <class T>
struct MvVec4 {
  T v[4];
  T& operator[](int i) { return v[i]; }
  const T& operator[](int i) const { return v[i]; }
  // Exact comparison of all four components: +0 equals -0, a NaN equals nothing.
  bool operator==(const MvVec4& o) const {
    return v[0] == o.v[0] && v[1] == o.v[1] && v[2] == o.v[2] && v[3] == o.v[3];
  }
  bool operator!=(const MvVec4& o) const { return !(*this == o); }
};

#endif
