// Host bindings of the built-in patterns: Offset3, sampling and listing by name, and the fifteen
// procedural rudiments. Each binding only converts arguments and results.
#include <pybind11/pybind11.h>

#include "catalogue/catalogue.hpp"
#include "module/bindings.hpp"
#include "rudiments/procedural.hpp"

namespace py = pybind11;
using motiloom::Offset3;

void bind_offset3(py::module_& m) {
    py::class_<Offset3>(m, "Offset3")
        .def_readonly("x", &Offset3::x)
        .def_readonly("y", &Offset3::y)
        .def_readonly("z", &Offset3::z)
        .def("as_tuple", [](const Offset3& o) { return py::make_tuple(o.x, o.y, o.z); });
}

py::list to_host_catalogue(const std::vector<motiloom::RudimentInfo>& entries) {
    using namespace pybind11::literals;
    py::list list(entries.size());
    std::size_t i = 0;
    for (const motiloom::RudimentInfo& entry : entries) {
        list[i++] =
            py::dict("name"_a = py::str(entry.name.data(), entry.name.size()),
                     "description"_a = py::str(entry.description.data(), entry.description.size()),
                     "period_pips"_a = static_cast<int>(entry.period_pips),
                     "dimensions"_a = static_cast<int>(entry.dimensions));
    }
    return list;
}

void bind_catalogue_functions(py::module_& m) {
    m.def("sample", &motiloom::sample, py::arg("name"), py::arg("pip_count"));
    m.def("catalogue", [] { return to_host_catalogue(motiloom::catalogue()); });
}

void bind_rudiments(py::module_& m) {
    // One positional-only pip each: registered without an argument name, so keywords are refused.
    for (const motiloom::ProceduralRudiment& rudiment : motiloom::procedural_rudiments) {
        m.def(rudiment.info.name.data(), rudiment.function);
    }
}
