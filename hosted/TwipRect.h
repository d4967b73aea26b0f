// A rectangle in twips (1/1440 inch), the unit the windows' designs are drawn in, in single
// precision as the windows' scale unit.
#pragma once

namespace velmora {

struct TwipRect {
  float left = 0;
  float top = 0;
  float width = 0;
  float height = 0;
};

}  // namespace velmora
