// The picture of a dimension the host made: a geometry block ("*D<n>") holding the dimension's lines
// and its text, as a CAD program keeps one for every dimension. Programs that do not draw
// dimensions themselves show that block, and some delete a dimension without one. A dimension read
// from a file (or copied from one) keeps the block the file gave it.
#pragma once

#include <functional>
#include <string>

#include "filerecord.h"

namespace cadhost::dxf {

// Gives each dimension the host made a geometry block, and a new one when the dimension changed
// since its block was made; the blocks of dimensions erased since go too. Called as a save begins;
// a dimension or block table that a caller holds open keeps its picture, and warn says so.
void updateDimensionBlocks(AcDbDatabase* db, FileRecord& file, const std::function<void(std::wstring)>& warn);

}  // namespace cadhost::dxf
