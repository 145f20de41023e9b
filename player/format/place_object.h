#pragma once
#include "bit_reader.h"
#include "movie_data.h"

namespace player {

// PlaceObject `version` 1-3 from one tag's bytes; false when damaged.
bool ReadPlaceObject(BitReader& in, int version, int swfVersion, PlaceObject& out);
std::vector<FilterRecord> ReadFilters(BitReader& in);

}  // namespace player
