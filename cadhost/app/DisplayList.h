// What the drawing view draws: each entity of the shown space as primitives in drawing coordinates
// (polylines, filled polygons, runs of text), with its box, kept until the entity changes. The
// database is read once per entity to make its item (a regeneration); painting, picking and the
// drawing's extents then use the items alone, and a change of some entities remakes only theirs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "FontCatalog.h"
#include "SpatialGrid.h"
#include "ViewGeometry.h"
#include "dbmain.h"

namespace cadhost::app {

// The colour of a primitive: an ACI colour (256: that of colorLayer), or a true colour; and the
// layer whose state (off, frozen) shows or hides it.
struct Paint {
  AcDbObjectId layer, colorLayer;
  int aci = 256;
  COLORREF rgb = 0;
  bool byRgb = false;
  bool operator<(const Paint& o) const {
    if (layer.stub() != o.layer.stub()) return layer.stub() < o.layer.stub();
    if (colorLayer.stub() != o.colorLayer.stub()) return colorLayer.stub() < o.colorLayer.stub();
    if (aci != o.aci) return aci < o.aci;
    if (byRgb != o.byRgb) return byRgb < o.byRgb;
    return rgb < o.rgb;
  }
};

struct TextPrimitive {
  std::wstring text;
  std::vector<int> advances;  // font units: where each next character starts
  int face = 0;
  Affine2 frame;              // font units (x along the baseline, y up) to drawing coordinates
  uint8_t lines = 0;          // underline, overline, strike-through (TextLayout.h)
  double capHeight = 0;       // font units, for the lines and the placeholder bar
};

struct Primitive {
  enum class Kind : uint8_t { Polyline, Polygon, Text, Dot };
  Kind kind = Kind::Polyline;
  bool closed = false;
  uint16_t paint = 0;
  uint32_t first = 0, count = 0;  // points; a text's are the corners of its box
  int32_t text = -1;              // index into the item's texts
};

// The parts that follow an entity in a drawing file, by entity: a block reference's attributes, an
// old-style polyline's vertices.
using PartsMap = std::unordered_map<AcDbStub*, std::vector<AcDbObjectId>>;

struct DisplayItem {
  AcDbObjectId id;
  uint64_t order = 0;        // drawing order: the entity's place in its block
  uint16_t paint = 0;        // the entity's own (its layer shows or hides it whole)
  bool live = false;         // false for an entity that is erased or no longer in the space
  Box2 bounds;
  std::vector<Point2> points;
  std::vector<Primitive> primitives;
  std::vector<TextPrimitive> texts;
};

class DisplayList {
 public:
  explicit DisplayList(FontCatalog& fonts) : mFonts(fonts) {}

  // Makes every entity of the database's current space again.
  void build(AcDbDatabase* db);
  void clear();
  // Makes the entities given again (changed, added, erased or unerased); the boxes of what they
  // covered before and cover now are added to changed.
  void update(const std::vector<AcDbObjectId>& ids, std::vector<Box2>& changed);

  AcDbDatabase* database() const { return mDb; }
  AcDbObjectId space() const { return mSpace; }
  const std::vector<DisplayItem>& items() const { return mItems; }
  const DisplayItem* find(AcDbObjectId id) const;
  const Paint& paint(uint16_t index) const { return mPaints[index]; }
  // The live items whose cells touch box, in drawing order.
  void query(const Box2& box, std::vector<uint32_t>& out);
  // The box of every live item for which shown(item) holds.
  template <class Shown>
  Box2 extents(Shown shown) const {
    Box2 all;
    for (const DisplayItem& item : mItems)
      if (item.live && shown(item)) all.add(item.bounds);
    return all;
  }
  // Recorded layers: the layer "0" of the drawing (entities on it inside blocks take the block
  // reference's layer).
  AcDbObjectId layerZero() const { return mLayerZero; }
  uint16_t paintIndex(const Paint& paint);

 private:
  void makeItem(DisplayItem& item);
  uint64_t orderOf(AcDbObjectId id);

  FontCatalog& mFonts;
  AcDbDatabase* mDb = nullptr;
  AcDbObjectId mSpace, mLayerZero;
  std::vector<DisplayItem> mItems;
  std::unordered_map<AcDbStub*, uint32_t> mIndex;
  std::vector<Paint> mPaints;
  std::map<Paint, uint16_t> mPaintIndex;
  SpatialGrid mGrid;
  PartsMap mParts;
};

}  // namespace cadhost::app
