// Host classes for the caller-supplied patterns: SampledRecording, SampledPattern and
// PatternLibrary. The bindings only convert arguments and results; validation, sampling and
// listing belong to the native classes, whose standard errors reach the host through the binding
// library's default translation.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <cstddef>
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

// The rows of a recording, taken as the host object itself and converted row by row in
// make_sampled_recording below. Converting them as a vector of vectors would give every row a heap
// array of its own: 2^23 one-value rows cost 448 MiB that way, for 64 MiB of values. The object
// is accepted on the same test pybind11's own sequence conversion starts with (a sequence other
// than str and bytes, or one of the iterables it takes), and is named as that conversion names it,
// so the constructor's signature line is unchanged.
class RecordingRows : public py::object {
  public:
    PYBIND11_OBJECT_DEFAULT(RecordingRows, py::object, is_row_source)

  private:
    static bool is_row_source(PyObject* candidate) {
        return py::detail::object_is_convertible_to_std_vector(candidate);
    }
};

}  // namespace

namespace pybind11::detail {
template <>
struct handle_type_name<RecordingRows> {
    static constexpr auto name = make_caster<std::vector<std::vector<double>>>::name;
};
}  // namespace pybind11::detail

namespace {

// Converts the rows the way pybind11 converts a vector of vectors of doubles (the same test and
// conversion of every row, an iterable that is no sequence first read into a tuple), but keeps
// the values in one flat array: the rows of the recording's axis count up to the first row of
// another length, and never more values than a recording may hold, since the recording checks
// its size before it reads any value. A row that does not convert fails the call with the
// binding library's own TypeError for refused arguments, as it did when pybind11 converted the
// rows before the call: a reference_cast_error from the call makes pybind11 treat this
// constructor's arguments as not matching, and no native object has been made at that point.
SampledRecording make_sampled_recording(std::string name, std::vector<std::string> dimensions,
                                        const RecordingRows& samples, double bpm,
                                        double beat_zero_seconds, int start_pip) {
    const py::object rows =
        py::isinstance<py::sequence>(samples)
            ? py::object(samples)
            : py::object(py::tuple(py::reinterpret_borrow<py::iterable>(samples)));
    const std::size_t axes = dimensions.size();
    const std::size_t hint = py::reinterpret_borrow<py::sequence>(rows).size();
    std::vector<double> values;
    if (axes != 0) {
        values.reserve(std::min(hint, SampledRecording::MAX_VALUES / axes) * axes);
    }
    std::size_t row_count = 0;
    bool keeping = true;
    py::detail::make_caster<std::vector<double>> row_caster;
    for (const py::handle item : rows) {
        if (!row_caster.load(item, true)) {
            throw py::reference_cast_error();
        }
        const auto& row = py::detail::cast_op<const std::vector<double>&>(row_caster);
        keeping =
            keeping && row.size() == axes && values.size() + axes <= SampledRecording::MAX_VALUES;
        if (keeping) {
            values.insert(values.end(), row.begin(), row.end());
        }
        ++row_count;
    }
    return SampledRecording(std::move(name), std::move(dimensions), std::move(values), row_count,
                            bpm, beat_zero_seconds, start_pip);
}

}  // namespace

void bind_sampled_recording(py::module_& m) {
    py::class_<SampledRecording> cls(m, "SampledRecording");
    cls.def(py::init(&make_sampled_recording), py::arg("name"), py::arg("dimensions"),
            py::arg("samples"), py::arg("bpm"), py::arg("beat_zero_seconds") = 0.0,
            py::arg("start_pip") = 0)
        .def_property_readonly("name", &SampledRecording::name)
        .def_property_readonly("dimensions", &SampledRecording::dimensions)
        .def_property_readonly("sample_count", &SampledRecording::sample_count)
        .def_property_readonly("bpm", &SampledRecording::bpm)
        .def_property_readonly("beat_zero_seconds", &SampledRecording::beat_zero_seconds)
        .def_property_readonly("start_pip", &SampledRecording::start_pip)
        .def("sample", &SampledRecording::sample, py::arg("pip").noconvert());
    refuse_uninitialised_instances(cls);
}

void bind_sampled_pattern(py::module_& m) {
    py::class_<SampledPattern> cls(m, "SampledPattern");
    cls.def(py::init(&make_sampled_pattern), py::arg("name"), py::arg("description"),
            py::arg("samples"))
        .def_property_readonly("name", &SampledPattern::name)
        .def_property_readonly("description", &SampledPattern::description)
        .def_property_readonly("period_pips", &SampledPattern::period_pips)
        .def("sample", &SampledPattern::sample, py::arg("pip_count").noconvert());
    refuse_uninitialised_instances(cls);
}

void bind_pattern_library(py::module_& m) {
    py::class_<PatternLibrary> cls(m, "PatternLibrary");
    cls.def(py::init<std::vector<SampledPattern>>(),
            py::arg("patterns") = std::vector<SampledPattern>{})
        .def("sample", &PatternLibrary::sample, py::arg("name"), py::arg("pip_count").noconvert())
        .def("catalogue",
             [](const PatternLibrary& library) { return to_host_catalogue(library.catalogue()); });
    refuse_uninitialised_instances(cls);
}
