// Host classes for the caller-supplied patterns: SampledRecording, SampledPattern and
// PatternLibrary. The bindings only convert arguments and results; validation, sampling and
// listing belong to the native classes, whose standard errors reach the host through the binding
// library's default translation.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "core/offset3.hpp"
#include "library/pattern_library.hpp"
#include "library/sampled_pattern.hpp"
#include "library/sampled_recording.hpp"
#include "module/bindings.hpp"

namespace py = pybind11;

namespace {

using motiloom::Offset3;
using motiloom::PatternLibrary;
using motiloom::SampledPattern;
using motiloom::SampledRecording;

// A row is converted as exactly three doubles, so a row of any other length is refused as a
// TypeError before the pattern's own checks run.
using PatternRow = std::array<double, 3>;

SampledPattern make_sampled_pattern(std::string name, std::string description,
                                    std::vector<PatternRow> rows) {
    std::vector<Offset3> samples;
    samples.reserve(rows.size());
    for (const PatternRow& row : rows) {
        samples.push_back(Offset3{row[0], row[1], row[2]});
    }
    return SampledPattern(std::move(name), std::move(description), std::move(samples));
}

}  // namespace

void bind_sampled_recording(py::module_& m) {
    py::class_<SampledRecording>(m, "SampledRecording")
        .def(py::init<std::string, std::vector<std::string>,
                      const std::vector<std::vector<double>>&, double, double, int>(),
             py::arg("name"), py::arg("dimensions"), py::arg("samples"), py::arg("bpm"),
             py::arg("beat_zero_seconds") = 0.0, py::arg("start_pip") = 0)
        .def_property_readonly("name", &SampledRecording::name)
        .def_property_readonly("dimensions", &SampledRecording::dimensions)
        .def_property_readonly("sample_count", &SampledRecording::sample_count)
        .def_property_readonly("bpm", &SampledRecording::bpm)
        .def_property_readonly("beat_zero_seconds", &SampledRecording::beat_zero_seconds)
        .def_property_readonly("start_pip", &SampledRecording::start_pip)
        .def("sample", &SampledRecording::sample, py::arg("pip").noconvert());
}

void bind_sampled_pattern(py::module_& m) {
    py::class_<SampledPattern>(m, "SampledPattern")
        .def(py::init(&make_sampled_pattern), py::arg("name"), py::arg("description"),
             py::arg("samples"))
        .def_property_readonly("name", &SampledPattern::name)
        .def_property_readonly("description", &SampledPattern::description)
        .def_property_readonly("period_pips", &SampledPattern::period_pips)
        .def("sample", &SampledPattern::sample, py::arg("pip_count").noconvert());
}

void bind_pattern_library(py::module_& m) {
    py::class_<PatternLibrary>(m, "PatternLibrary")
        .def(py::init<std::vector<SampledPattern>>(),
             py::arg("patterns") = std::vector<SampledPattern>{})
        .def("sample", &PatternLibrary::sample, py::arg("name"), py::arg("pip_count").noconvert())
        .def("catalogue",
             [](const PatternLibrary& library) { return to_host_catalogue(library.catalogue()); });
}
