// The grid of drawn entities; see SpatialGrid.h.
#include "SpatialGrid.h"

#include <algorithm>
#include <cmath>

namespace cadhost::app {

namespace {
constexpr int kMaxCellsPerSide = 512;
constexpr int kLargeItemCells = 64;  // an item over more cells than this goes on the large list
}  // namespace

void SpatialGrid::reset(const Box2& area, size_t itemCount) {
  mCells.clear();
  mLarge.clear();
  mArea = area.empty() ? Box2{0, 0, 1, 1} : area;
  const double w = std::max(mArea.width(), 1e-9), h = std::max(mArea.height(), 1e-9);
  // About four items a cell, cells about square.
  const double cells = std::max(1.0, static_cast<double>(itemCount) / 4);
  mColumns = std::clamp(static_cast<int>(std::sqrt(cells * w / h)), 1, kMaxCellsPerSide);
  mRows = std::clamp(static_cast<int>(std::sqrt(cells * h / w)), 1, kMaxCellsPerSide);
  mCellWidth = w / mColumns;
  mCellHeight = h / mRows;
  mCells.assign(static_cast<size_t>(mColumns) * static_cast<size_t>(mRows), {});
}

bool SpatialGrid::cellRange(const Box2& box, int& c0, int& r0, int& c1, int& r1) const {
  if (box.empty() || mColumns == 0) return false;
  const double fc0 = std::floor((box.minX - mArea.minX) / mCellWidth), fc1 = std::floor((box.maxX - mArea.minX) / mCellWidth);
  const double fr0 = std::floor((box.minY - mArea.minY) / mCellHeight), fr1 = std::floor((box.maxY - mArea.minY) / mCellHeight);
  c0 = static_cast<int>(std::clamp(fc0, -1.0, static_cast<double>(mColumns)));
  c1 = static_cast<int>(std::clamp(fc1, -1.0, static_cast<double>(mColumns)));
  r0 = static_cast<int>(std::clamp(fr0, -1.0, static_cast<double>(mRows)));
  r1 = static_cast<int>(std::clamp(fr1, -1.0, static_cast<double>(mRows)));
  return true;
}

void SpatialGrid::insert(uint32_t item, const Box2& box) {
  int c0, r0, c1, r1;
  if (!cellRange(box, c0, r0, c1, r1)) return;
  const bool outside = c0 < 0 || r0 < 0 || c1 >= mColumns || r1 >= mRows;
  if (outside || (c1 - c0 + 1) * (r1 - r0 + 1) > kLargeItemCells) {
    mLarge.push_back(item);
    return;
  }
  for (int r = r0; r <= r1; ++r)
    for (int c = c0; c <= c1; ++c) mCells[static_cast<size_t>(r) * mColumns + c].push_back(item);
}

void SpatialGrid::remove(uint32_t item, const Box2& box) {
  int c0, r0, c1, r1;
  if (!cellRange(box, c0, r0, c1, r1)) return;
  const bool outside = c0 < 0 || r0 < 0 || c1 >= mColumns || r1 >= mRows;
  if (outside || (c1 - c0 + 1) * (r1 - r0 + 1) > kLargeItemCells) {
    std::erase(mLarge, item);
    return;
  }
  for (int r = r0; r <= r1; ++r)
    for (int c = c0; c <= c1; ++c) std::erase(mCells[static_cast<size_t>(r) * mColumns + c], item);
}

void SpatialGrid::query(const Box2& box, std::vector<uint32_t>& out) {
  if (++mQuery == 0) {  // the counter went round: forget what was seen
    std::fill(mSeen.begin(), mSeen.end(), 0);
    mQuery = 1;
  }
  auto take = [&](uint32_t item) {
    if (item >= mSeen.size()) mSeen.resize(static_cast<size_t>(item) + 1024, 0);
    if (mSeen[item] == mQuery) return;
    mSeen[item] = mQuery;
    out.push_back(item);
  };
  for (uint32_t item : mLarge) take(item);
  int c0, r0, c1, r1;
  if (!cellRange(box, c0, r0, c1, r1)) return;
  c0 = std::max(c0, 0);
  r0 = std::max(r0, 0);
  c1 = std::min(c1, mColumns - 1);
  r1 = std::min(r1, mRows - 1);
  for (int r = r0; r <= r1; ++r)
    for (int c = c0; c <= c1; ++c)
      for (uint32_t item : mCells[static_cast<size_t>(r) * mColumns + c]) take(item);
}

}  // namespace cadhost::app
