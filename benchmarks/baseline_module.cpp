// Yardsticks for host call overhead. `make` is the cheapest useful pybind11 call, one int in and
// a new small bound object out, which every host call of motiloom is compared against. The others
// take the same argument kinds as motiloom's calls (a name as a string view, a method's self), so
// that a like-for-like ratio shows what motiloom itself adds on top of the binding library.
#include <pybind11/pybind11.h>

#include <string_view>

namespace {
struct Small {
    double x;
    double y;
    double z;
};
}  // namespace

PYBIND11_MODULE(motiloom_bench_baseline, m) {
    namespace py = pybind11;
    py::class_<Small>(m, "Small")
        .def(py::init([] { return Small{0.0, 0.0, 0.0}; }))
        .def_readonly("x", &Small::x)
        .def(
            "make", [](const Small&, int pip) { return Small{static_cast<double>(pip), 0.0, 0.0}; },
            py::arg("pip").noconvert())
        .def(
            "make_named",
            [](const Small&, std::string_view name, int pip) {
                return Small{static_cast<double>(name.size() + static_cast<std::size_t>(pip)), 0.0,
                             0.0};
            },
            py::arg("name"), py::arg("pip").noconvert());
    m.def("make", [](int pip) { return Small{static_cast<double>(pip), 0.0, 0.0}; });
    m.def(
        "make_named",
        [](std::string_view name, int pip) {
            return Small{static_cast<double>(name.size() + static_cast<std::size_t>(pip)), 0.0,
                         0.0};
        },
        py::arg("name"), py::arg("pip"));
}
