// Finding the drawn entities in a part of the drawing fast: a grid of cells over the drawing, each
// listing the items whose box touches it. Items larger than many cells, and items outside the area
// the grid was made for, are kept on a list of their own that every query looks at.
#pragma once

#include <cstdint>
#include <vector>

#include "ViewGeometry.h"

namespace cadhost::app {

class SpatialGrid {
 public:
  // An empty grid over an area, sized for about itemCount items.
  void reset(const Box2& area, size_t itemCount);
  void insert(uint32_t item, const Box2& box);
  void remove(uint32_t item, const Box2& box);
  // Adds the items whose cells touch box to out, each once (their boxes may still miss it).
  void query(const Box2& box, std::vector<uint32_t>& out);

 private:
  bool cellRange(const Box2& box, int& c0, int& r0, int& c1, int& r1) const;
  Box2 mArea;
  int mColumns = 0, mRows = 0;
  double mCellWidth = 1, mCellHeight = 1;
  std::vector<std::vector<uint32_t>> mCells;
  std::vector<uint32_t> mLarge;
  std::vector<uint32_t> mSeen;  // by item: the query that last returned it
  uint32_t mQuery = 0;
};

}  // namespace cadhost::app
