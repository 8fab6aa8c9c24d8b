// Entities the host keeps as a drawing file held them (AcDbUnmodeledEntity), drawn from what
// their records in the file say: hatches as the outlines of their boundaries, solids and traces
// filled, 3D faces as outlines, ellipses, splines, leaders, points, paper space viewports as
// frames; and the parts that follow a record in the file: the attributes of a block reference
// (drawn as the text they show) and the vertices of an old-style POLYLINE.
#pragma once

#include <memory>
#include <vector>

#include "ItemSink.h"
#include "dbents.h"

namespace cadhost::app {

// Draws an entity kept as read; false for a kind this view does not draw.
bool drawRecordedEntity(const AcDbUnmodeledEntity* entity, ItemSink& sink);
// An attribute (ATTRIB) as a text outside the drawing with its properties; null for an
// invisible attribute or a record that cannot be read.
std::unique_ptr<AcDbText> attributeText(const AcDbEntity* attribute);
// An old-style POLYLINE with its VERTEX parts, as a lightweight polyline outside the drawing.
std::unique_ptr<AcDbPolyline> polylineOfVertices(const AcDbEntity* polyline, const std::vector<AcDbObjectId>& vertices);
// Whether an entity kept as read is one of the parts above (it belongs to its owner's drawing).
bool isPartRecord(const AcDbEntity* entity);

}  // namespace cadhost::app
