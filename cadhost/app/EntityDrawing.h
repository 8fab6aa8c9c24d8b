// What an entity draws, as a CAD user expects to see it: lines, circles, arcs, polylines with
// their widths and arc segments, TEXT at its height, rotation, width factor, oblique angle and
// justification in its style's face, MTEXT laid out in its box, dimensions, block references with
// their attributes (entities on layer 0 inside a block take the reference's layer, colour by block
// the reference's colour), and what the drawing file holds for entities the host keeps as read
// (RecordedEntities.h). The caller reads as the host (HostReadScope).
#pragma once

#include <unordered_map>
#include <vector>

#include "DisplayList.h"
#include "ItemSink.h"

class AcDbEntity;
class AcDbText;
class AcDbMText;
class AcDbPolyline;
class AcDbBlockReference;

namespace cadhost::app {


// The style of a text run in a text style's face, at a height.
RunStyle runStyleOf(FontCatalog& fonts, AcDbObjectId textStyle, double height, bool useStyleWidth);

class EntityDrawing {
 public:
  EntityDrawing(FontCatalog& fonts, DisplayList& list, const PartsMap& parts)
      : mFonts(fonts), mList(list), mParts(parts) {}
  // Fills the item with what the entity draws.
  void draw(const AcDbEntity* entity, DisplayItem& item);

 private:
  // Where an entity is drawn: the map of the block references it is inside, and what it inherits.
  struct Context {
    Affine2 map;
    bool inBlock = false;
    Paint reference;  // the block reference's own paint
    int depth = 0;
  };
  void entity(const AcDbEntity* e, ItemSink& sink, const Context& context);
  Paint paintOf(const AcDbEntity* e, const Context& context) const;
  void polyline(const AcDbPolyline* p, ItemSink& sink);
  void text(const AcDbText* t, ItemSink& sink);
  void mtext(const AcDbMText* m, ItemSink& sink);
  void blockReference(const AcDbBlockReference* r, ItemSink& sink, const Context& context, const Paint& own);

  FontCatalog& mFonts;
  DisplayList& mList;
  const PartsMap& mParts;
};

}  // namespace cadhost::app
