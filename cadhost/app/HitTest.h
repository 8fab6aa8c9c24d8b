// Which drawn entities the mouse selects, by what they draw (so that what is seen is what is
// picked: a rotated or justified text by the box of its drawn characters): a pick at a point
// within a tolerance, a window that holds an entity wholly, a crossing window that the entity
// touches or lies in.
#pragma once

#include "DisplayList.h"

namespace cadhost::app::hittest {

// The distance from a point to what an item draws (0 inside a text's box or a filled polygon).
double distance(const DisplayItem& item, const Point2& at);
bool insideWindow(const DisplayItem& item, const Box2& window);
bool crossesWindow(const DisplayItem& item, const Box2& window);

}  // namespace cadhost::app::hittest
