// Host bindings of the built-in patterns: Offset3, sampling and listing by name, and the fifteen
// procedural rudiments. Each binding only converts arguments and results.
#include <pybind11/pybind11.h>

#include <utility>

#include "catalogue/catalogue.hpp"
#include "module/bindings.hpp"
#include "module/host_values.hpp"
#include "procedural_rudiments.hpp"

namespace py = pybind11;
using motiloom::Offset3;

void bind_offset3(py::module_& m) {
    py::class_<Offset3> cls(m, "Offset3");
    cls.def_readonly("x", &Offset3::x)
        .def_readonly("y", &Offset3::y)
        .def_readonly("z", &Offset3::z)
        .def("as_tuple", [](const Offset3& o) { return py::make_tuple(o.x, o.y, o.z); });
    refuse_uninitialised_instances(cls);
}

py::list to_host_catalogue(const std::vector<motiloom::RudimentInfo>& entries) {
    // The four keys are made once per call and shared by every dict of the list: with well over a
    // thousand entries, making them per entry would cost more than the entries' own text.
    const py::str name_key("name");
    const py::str description_key("description");
    const py::str period_key("period_pips");
    const py::str dimensions_key("dimensions");
    py::list list(entries.size());
    std::size_t i = 0;
    for (const motiloom::RudimentInfo& entry : entries) {
        py::dict dict;
        dict[name_key] = py::str(entry.name.data(), entry.name.size());
        dict[description_key] = py::str(entry.description.data(), entry.description.size());
        dict[period_key] = py::int_(entry.period_pips);
        dict[dimensions_key] = py::int_(entry.dimensions);
        list[i++] = std::move(dict);
    }
    return list;
}

void bind_catalogue_functions(py::module_& m) {
    m.def(
        "sample",
        [](host::TextView name, host::Pip pip) { return motiloom::sample(name.value, pip.value); },
        py::arg("name"), py::arg("pip_count"));
    m.def("catalogue", [] { return to_host_catalogue(motiloom::catalogue()); });
}

void bind_rudiments(py::module_& m) {
    // One positional-only pip each: registered without an argument name, so keywords are refused.
    for (const motiloom::ProceduralRudiment& rudiment : motiloom::procedural_rudiments) {
        m.def(rudiment.info.name.data(),
              [function = rudiment.function](host::Pip pip) { return function(pip.value); });
    }
}
