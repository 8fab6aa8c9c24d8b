// Plane and space geometry values of the host interface: points, vectors and extents.
#pragma once

#include <cmath>

class AcGeVector3d {
 public:
  double x = 0, y = 0, z = 0;
  AcGeVector3d() = default;
  AcGeVector3d(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}
  static const AcGeVector3d kXAxis, kYAxis, kZAxis, kIdentity;
  AcGeVector3d operator+(const AcGeVector3d& v) const { return {x + v.x, y + v.y, z + v.z}; }
  AcGeVector3d operator-(const AcGeVector3d& v) const { return {x - v.x, y - v.y, z - v.z}; }
  AcGeVector3d operator*(double s) const { return {x * s, y * s, z * s}; }
  AcGeVector3d operator-() const { return {-x, -y, -z}; }
  double length() const { return std::sqrt(x * x + y * y + z * z); }
  double dotProduct(const AcGeVector3d& v) const { return x * v.x + y * v.y + z * v.z; }
  bool isZeroLength() const { return length() == 0.0; }
  AcGeVector3d normal() const {
    const double len = length();
    return len > 0 ? AcGeVector3d(x / len, y / len, z / len) : *this;
  }
  bool operator==(const AcGeVector3d& v) const { return x == v.x && y == v.y && z == v.z; }
  bool operator!=(const AcGeVector3d& v) const { return !(*this == v); }
};
inline const AcGeVector3d AcGeVector3d::kXAxis{1, 0, 0};
inline const AcGeVector3d AcGeVector3d::kYAxis{0, 1, 0};
inline const AcGeVector3d AcGeVector3d::kZAxis{0, 0, 1};
inline const AcGeVector3d AcGeVector3d::kIdentity{0, 0, 0};

class AcGePoint3d {
 public:
  double x = 0, y = 0, z = 0;
  AcGePoint3d() = default;
  AcGePoint3d(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}
  static const AcGePoint3d kOrigin;
  AcGePoint3d operator+(const AcGeVector3d& v) const { return {x + v.x, y + v.y, z + v.z}; }
  AcGePoint3d operator-(const AcGeVector3d& v) const { return {x - v.x, y - v.y, z - v.z}; }
  AcGeVector3d operator-(const AcGePoint3d& p) const { return {x - p.x, y - p.y, z - p.z}; }
  AcGePoint3d& operator+=(const AcGeVector3d& v) { x += v.x; y += v.y; z += v.z; return *this; }
  double distanceTo(const AcGePoint3d& p) const { return (*this - p).length(); }
  bool operator==(const AcGePoint3d& p) const { return x == p.x && y == p.y && z == p.z; }
  bool operator!=(const AcGePoint3d& p) const { return !(*this == p); }
  bool isEqualTo(const AcGePoint3d& p, double tol = 1e-10) const { return distanceTo(p) <= tol; }
};
inline const AcGePoint3d AcGePoint3d::kOrigin{0, 0, 0};

class AcGePoint2d {
 public:
  double x = 0, y = 0;
  AcGePoint2d() = default;
  AcGePoint2d(double xx, double yy) : x(xx), y(yy) {}
  bool operator==(const AcGePoint2d& p) const { return x == p.x && y == p.y; }
};

// An axis-aligned box; empty until a point is added.
class AcDbExtents {
 public:
  AcDbExtents() = default;
  AcDbExtents(const AcGePoint3d& mn, const AcGePoint3d& mx) : mMin(mn), mMax(mx), mEmpty(false) {}
  const AcGePoint3d& minPoint() const { return mMin; }
  const AcGePoint3d& maxPoint() const { return mMax; }
  bool isEmpty() const { return mEmpty; }
  void addPoint(const AcGePoint3d& p) {
    if (mEmpty) { mMin = mMax = p; mEmpty = false; return; }
    mMin = {std::fmin(mMin.x, p.x), std::fmin(mMin.y, p.y), std::fmin(mMin.z, p.z)};
    mMax = {std::fmax(mMax.x, p.x), std::fmax(mMax.y, p.y), std::fmax(mMax.z, p.z)};
  }
  void addExt(const AcDbExtents& e) {
    if (!e.mEmpty) { addPoint(e.mMin); addPoint(e.mMax); }
  }

 private:
  AcGePoint3d mMin, mMax;
  bool mEmpty = true;
};
