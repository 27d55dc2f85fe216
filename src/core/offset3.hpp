#pragma once

namespace motiloom {

// The position of the moving point: three normalised components with no unit.
struct Offset3 {
    double x;
    double y;
    double z;
};

}  // namespace motiloom
