// Host classes for the caller-supplied patterns: SampledRecording, SampledPattern and
// PatternLibrary. The bindings only convert arguments and results; validation, sampling and
// listing belong to the native classes, whose standard errors reach the host through the binding
// library's default translation.
//
// Every argument is converted by the kinds of host_values.hpp, which let an interrupt through,
// and every container argument by an ElementReader (host_sequences.hpp), which reads no further
// than one element past what the class can hold: the rows of a pattern, the patterns of a
// library, the axis names and rows of a recording, and the values of each recording row.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/offset3.hpp"
#include "library/pattern_library.hpp"
#include "library/sampled_pattern.hpp"
#include "library/sampled_recording.hpp"
#include "module/bindings.hpp"
#include "module/host_sequences.hpp"
#include "module/host_values.hpp"

namespace py = pybind11;

namespace {

using motiloom::Offset3;
using motiloom::PatternLibrary;
using motiloom::SampledPattern;
using motiloom::SampledRecording;

// The rows of a pattern: at most one more than a pattern may hold, so that the pattern's own
// count check refuses a longer argument.
struct PatternRows {
    std::vector<Offset3> samples;
};

// The patterns of a library as pointers to the host's own objects, which `held` keeps alive for
// the call: the library copies only those it accepts.
struct PatternList {
    std::vector<py::object> held;
    std::vector<const SampledPattern*> patterns;
};

// The axis names of a recording, as many as a recording may have; `too_many` when the argument
// holds more (the name past the limit is converted, so a refused one still fails the call, but
// not kept: 2^23 names already take 256 MiB).
struct RecordingAxes {
    std::vector<std::string> names;
    bool too_many = false;
};

// The rows of a recording, taken as the host object itself and read in make_sampled_recording
// below, where the axis count and the start pip tell how many rows the recording could hold. The
// object is accepted on the test pybind11's own sequence conversion starts with, and is named as
// that conversion names it, so the constructor's signature line is unchanged.
class RecordingRows : public py::object {
  public:
    PYBIND11_OBJECT_DEFAULT(RecordingRows, py::object, is_row_source)

  private:
    static bool is_row_source(PyObject* candidate) { return host::is_element_source(candidate); }
};

bool load_real(py::handle src, bool convert, double& out) {
    py::detail::make_caster<host::Real> caster;
    if (!caster.load(src, convert)) {
        return false;
    }
    out = py::detail::cast_op<host::Real&>(caster).value;
    return true;
}

// One row of a pattern, as pybind11 converts an array of exactly three doubles: a sequence must
// say it has three elements, which are then read by index and converted one at a time (a missing
// one fails only when it is reached); any other iterable is read first (here no further than a
// fourth element, which is enough to refuse it) and must yield three.
bool load_pattern_row(py::handle row, bool convert, Offset3& out) {
    if (!host::is_element_source(row)) {
        return false;
    }
    std::array<double*, 3> components{&out.x, &out.y, &out.z};
    if (PySequence_Check(row.ptr()) != 0) {
        const Py_ssize_t length = PySequence_Size(row.ptr());
        if (length < 0) {
            throw py::error_already_set();
        }
        if (length != 3) {
            return false;
        }
        for (Py_ssize_t i = 0; i < 3; ++i) {
            const py::object item =
                py::reinterpret_steal<py::object>(PySequence_GetItem(row.ptr(), i));
            if (!item) {
                throw py::error_already_set();
            }
            if (!load_real(item, convert, *components[static_cast<std::size_t>(i)])) {
                return false;
            }
        }
        return true;
    }
    std::array<py::object, 3> items;
    std::size_t count = 0;
    const std::optional<std::size_t> read =
        host::ElementReader(row, convert, items.size() + 1).read([&](py::handle item) {
            if (count < items.size()) {
                items[count] = py::reinterpret_borrow<py::object>(item);
            }
            ++count;
            return true;
        });
    if (!read || *read != items.size()) {
        return false;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!load_real(items[i], convert, *components[i])) {
            return false;
        }
    }
    return true;
}

// pybind11 looks for its cross-module conduit on an object that is not an instance of the bound
// class and drops any error that the look-up raised. Looking first lets an interrupt raised by
// the object's own __getattr__ through; without the attribute the object is refused here, as it
// would be there.
bool may_be_a_pattern(py::handle item) {
    static PyTypeObject* const bound = py::detail::get_type_info(typeid(SampledPattern))->type;
    if (PyObject_TypeCheck(item.ptr(), bound) != 0 || PyType_Check(item.ptr()) != 0) {
        return true;
    }
    PyObject* conduit = PyObject_GetAttrString(item.ptr(), "_pybind11_conduit_v1_");
    if (conduit == nullptr) {
        host::pass_on_stop_or_clear();
        return false;
    }
    Py_DECREF(conduit);
    return true;
}

SampledPattern make_sampled_pattern(host::Text name, host::Text description, PatternRows rows) {
    return SampledPattern(std::move(name.value), std::move(description.value),
                          std::move(rows.samples));
}

// How many rows a recording with these axes and this start pip could hold: rows x axes at most
// MAX_VALUES, and the pip after the last row within 32 bits. No axes: none.
std::size_t room_for_rows(std::size_t axes, int start_pip) {
    if (axes == 0 || axes > SampledRecording::MAX_VALUES) {
        return 0;
    }
    const std::int64_t pips_left =
        std::int64_t{std::numeric_limits<std::int32_t>::max()} - std::int64_t{start_pip};
    return std::min(SampledRecording::MAX_VALUES / axes, static_cast<std::size_t>(pips_left));
}

// Reads the rows one at a time into one flat array: the rows of the recording's axis count up to
// the first row of another length, and no more rows than the recording could hold (the row after
// those is still converted, so a refused one fails the call as before, and counted, so that the
// recording's size check refuses it; nothing after it is read). A row is read no further than
// one value past the axis count, which already makes it ragged. A row that does not convert
// fails the call with the binding library's own TypeError for refused arguments: a
// reference_cast_error from the call makes pybind11 treat this constructor's arguments as not
// matching, and no native object has been made at that point.
SampledRecording make_sampled_recording(host::Text name, RecordingAxes dimensions,
                                        const RecordingRows& samples, host::Real bpm,
                                        host::Real beat_zero_seconds, host::Pip start_pip) {
    // More axes than a recording may have fail the same check, with the same message, as no axes
    // at all: the recording is then given none, after the names it did not keep were dropped.
    if (dimensions.too_many) {
        dimensions.names = {};
    }
    const std::size_t axes = dimensions.names.size();
    const std::size_t room = room_for_rows(axes, start_pip.value);
    host::ElementReader rows(samples, true, room + 1);
    std::vector<double> values;
    values.reserve(std::min(rows.expected(), room) * axes);
    std::size_t row_index = 0;
    bool keeping = true;
    const std::optional<std::size_t> row_count = rows.read([&](py::handle row) {
        if (!host::is_element_source(row)) {
            return false;
        }
        const std::size_t first = values.size();
        const bool kept = keeping && row_index < room;
        const std::optional<std::size_t> length =
            host::ElementReader(row, true, axes + 1).read([&](py::handle cell) {
                double value = 0.0;
                if (!load_real(cell, true, value)) {
                    return false;
                }
                if (kept && values.size() - first < axes) {
                    values.push_back(value);
                }
                return true;
            });
        if (!length) {
            return false;
        }
        if (*length != axes) {
            values.resize(first);
            keeping = false;
        }
        ++row_index;
        return true;
    });
    if (!row_count) {
        throw py::reference_cast_error();
    }
    return SampledRecording(std::move(name.value), std::move(dimensions.names), std::move(values),
                            *row_count, bpm.value, beat_zero_seconds.value, start_pip.value);
}

}  // namespace

namespace pybind11::detail {

template <>
struct handle_type_name<RecordingRows> {
    static constexpr auto name = make_caster<std::vector<std::vector<double>>>::name;
};

template <>
struct type_caster<PatternRows> {
    PYBIND11_TYPE_CASTER(PatternRows, (make_caster<std::vector<std::array<double, 3>>>::name));

    bool load(handle src, bool convert) {
        if (!host::is_element_source(src)) {
            return false;
        }
        host::ElementReader rows(src, convert, SampledPattern::MAX_SAMPLES + 1);
        value.samples.reserve(rows.expected());
        return rows
            .read([&](handle row) {
                Offset3 sample{};
                if (!load_pattern_row(row, convert, sample)) {
                    return false;
                }
                value.samples.push_back(sample);
                return true;
            })
            .has_value();
    }
};

template <>
struct type_caster<PatternList> {
    PYBIND11_TYPE_CASTER(PatternList, make_caster<std::vector<SampledPattern>>::name);

    bool load(handle src, bool convert) {
        if (!host::is_element_source(src)) {
            return false;
        }
        host::ElementReader list(src, convert, PatternLibrary::MAX_PATTERNS + 1);
        value.held.reserve(list.expected());
        value.patterns.reserve(list.expected());
        return list
            .read([&](handle item) {
                if (!may_be_a_pattern(item)) {
                    return false;
                }
                make_caster<SampledPattern> pattern;
                if (!pattern.load(item, convert)) {
                    return false;
                }
                value.patterns.push_back(&cast_op<const SampledPattern&>(pattern));
                value.held.push_back(reinterpret_borrow<object>(item));
                return true;
            })
            .has_value();
    }
};

template <>
struct type_caster<RecordingAxes> {
    PYBIND11_TYPE_CASTER(RecordingAxes, make_caster<std::vector<std::string>>::name);

    bool load(handle src, bool convert) {
        if (!host::is_element_source(src)) {
            return false;
        }
        constexpr std::size_t most = SampledRecording::MAX_VALUES;
        host::ElementReader names(src, convert, most + 1);
        value.names.reserve(std::min(names.expected(), most));
        return names
            .read([&](handle item) {
                make_caster<host::Text> axis;
                if (!axis.load(item, convert)) {
                    return false;
                }
                if (value.names.size() < most) {
                    value.names.push_back(std::move(cast_op<host::Text&>(axis).value));
                } else {
                    value.too_many = true;
                }
                return true;
            })
            .has_value();
    }
};

}  // namespace pybind11::detail

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
        .def(
            "sample",
            [](const SampledRecording& recording, host::Pip pip) {
                return recording.sample(pip.value);
            },
            py::arg("pip").noconvert());
    refuse_uninitialised_instances(cls);
}

void bind_sampled_pattern(py::module_& m) {
    py::class_<SampledPattern> cls(m, "SampledPattern");
    cls.def(py::init(&make_sampled_pattern), py::arg("name"), py::arg("description"),
            py::arg("samples"))
        .def_property_readonly("name", &SampledPattern::name)
        .def_property_readonly("description", &SampledPattern::description)
        .def_property_readonly("period_pips", &SampledPattern::period_pips)
        .def(
            "sample",
            [](const SampledPattern& pattern, host::Pip pip) { return pattern.sample(pip.value); },
            py::arg("pip_count").noconvert());
    refuse_uninitialised_instances(cls);
}

void bind_pattern_library(py::module_& m) {
    py::class_<PatternLibrary> cls(m, "PatternLibrary");
    cls.def(py::init([](const PatternList& list) { return PatternLibrary(list.patterns); }),
            py::arg("patterns") = std::vector<SampledPattern>{})
        .def(
            "sample",
            [](const PatternLibrary& library, host::TextView name, host::Pip pip) {
                return library.sample(name.value, pip.value);
            },
            py::arg("name"), py::arg("pip_count").noconvert())
        .def("catalogue",
             [](const PatternLibrary& library) { return to_host_catalogue(library.catalogue()); });
    refuse_uninitialised_instances(cls);
}
