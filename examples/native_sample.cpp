// A C++ program using motiloom without Python: link the static library motiloom_core.
// Built by `make test` as build/native/motiloom_example; run it to see one beat of two patterns.
#include <cstdio>

#include "motiloom.hpp"
#include "motiloom_packs.hpp"

int main() {
    std::printf("%d built-in patterns\n", static_cast<int>(motiloom::catalogue().size()));
    std::printf("pip      circle (x, y)      lfo_breathe x   by name\n");
    for (int pip = 0; pip <= motiloom::PIPS_PER_BEAT; pip += 16) {
        const motiloom::Offset3 c = motiloom::circle(pip);
        // A baked pattern's own sample function, or any pattern by name.
        const motiloom::Offset3 b = motiloom_initial::sample_lfo_breathe(pip);
        const motiloom::Offset3 n = motiloom::sample("lfo_breathe", pip);
        std::printf("%3d  (%+.3f, %+.3f)  %+.6f       %+.6f\n", pip, c.x, c.y, b.x, n.x);
    }
    return 0;
}
