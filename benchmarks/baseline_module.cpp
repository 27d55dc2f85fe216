// The yardstick for host call overhead: the cheapest useful pybind11 call, one int in and a new
// small bound object out. Every host call of motiloom is compared against it.
#include <pybind11/pybind11.h>

namespace {
struct Small {
    double x;
    double y;
    double z;
};
}  // namespace

PYBIND11_MODULE(motiloom_bench_baseline, m) {
    pybind11::class_<Small>(m, "Small").def_readonly("x", &Small::x);
    m.def("make", [](int pip) { return Small{static_cast<double>(pip), 0.0, 0.0}; });
}
