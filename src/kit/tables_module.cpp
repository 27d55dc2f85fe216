// motiloom_kit._tables: the kit's window into what the build knows. It holds no data of its own.
// At import it finds the catalogue exports of the motiloom extension already loaded in this
// process and from then on hands out read-only views of that extension's static tables, each
// baked record's pack and family as the generator declared them, and the contents of the caller's
// patterns and libraries, which the module's own API can only give one pip or one whole listing at
// a time.
#include <Python.h>
#include <dlfcn.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_exports.hpp"
#include "core/offset3.hpp"
#include "library/pattern_library.hpp"
#include "library/sampled_pattern.hpp"

namespace py = pybind11;
using motiloom::Offset3;

static_assert(sizeof(Offset3) == 3 * sizeof(double), "a table is period x 3 packed doubles");

namespace {

// The exports of the loaded extension. Found once, while the module is imported, and never
// changed afterwards; the extension, like every extension module, stays loaded until the process
// ends, so the data it points at outlives every view handed out.
const motiloom::CatalogueExports* exports = nullptr;
// Shape of each baked table's view, (period, 3), kept for as long as the views may live.
std::vector<Py_ssize_t> table_shapes;
Py_ssize_t table_strides[2] = {sizeof(Offset3), sizeof(double)};

const motiloom::CatalogueExports* find_exports() {
    py::module_ motiloom = py::module_::import("motiloom");
    if (!py::hasattr(motiloom, "__file__")) {
        throw py::import_error("motiloom_kit._tables: the motiloom module has no file to read");
    }
    const auto path = motiloom.attr("__file__").cast<std::string>();
    // RTLD_NOLOAD: the extension is already loaded; this only returns a handle to it.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) {
        throw py::import_error("motiloom_kit._tables: cannot reach the loaded extension " + path);
    }
    void* symbol = dlsym(handle, MOTILOOM_CATALOGUE_EXPORTS_SYMBOL);
    if (symbol == nullptr) {
        throw py::import_error("motiloom_kit._tables: " + path + " exports no catalogue");
    }
    const auto* found = static_cast<const motiloom::CatalogueExports*>(symbol);
    if (!motiloom::same_layout(*found)) {
        throw py::import_error("motiloom_kit._tables: " + path +
                               " was built from other catalogue headers than this module");
    }
    return found;
}

py::str text(std::string_view view) { return py::str(view.data(), view.size()); }

py::tuple procedural() {
    py::tuple out(exports->procedural_count);
    for (std::size_t i = 0; i < exports->procedural_count; ++i) {
        const motiloom::ProceduralRudiment& rudiment = exports->procedural[i];
        out[i] = py::make_tuple(text(rudiment.info.name), text(rudiment.info.description),
                                rudiment.info.period_pips, rudiment.info.dimensions,
                                text(rudiment.family));
    }
    return out;
}

py::tuple records() {
    const std::size_t count = *exports->record_count;
    py::tuple out(count);
    for (std::size_t i = 0; i < count; ++i) {
        const motiloom::CatalogueRecord& record = exports->records[i];
        const motiloom::CatalogueOrigin& origin = exports->origins[i];
        out[i] = py::make_tuple(text(record.name), text(record.description), record.period_pips,
                                record.axes, text(origin.pack), text(origin.family));
    }
    return out;
}

// One read-only memoryview per baked table, in record order: format "d", shape (period, 3), over
// the extension's own static data. Nothing is copied.
py::tuple tables() {
    const std::size_t count = *exports->record_count;
    py::tuple out(count);
    for (std::size_t i = 0; i < count; ++i) {
        Py_buffer view{};
        view.buf = const_cast<Offset3*>(exports->origins[i].table);
        view.len = static_cast<Py_ssize_t>(exports->records[i].period_pips * sizeof(Offset3));
        view.itemsize = sizeof(double);
        view.readonly = 1;
        view.ndim = 2;
        view.format = const_cast<char*>("d");
        view.shape = &table_shapes[2 * i];
        view.strides = table_strides;
        PyObject* memory = PyMemoryView_FromBuffer(&view);
        if (memory == nullptr) {
            throw py::error_already_set();
        }
        out[i] = py::reinterpret_steal<py::object>(memory);
    }
    return out;
}

// (name, description as bytes, dimensions, samples as packed doubles): the description may hold
// any bytes, so decoding it is left to the caller, entry by entry.
py::tuple pattern_contents(const motiloom::SampledPattern& pattern) {
    const std::vector<Offset3>& samples = pattern.samples();
    return py::make_tuple(
        py::str(pattern.name()), py::bytes(pattern.description()), pattern.axes(),
        py::bytes(reinterpret_cast<const char*>(samples.data()), samples.size() * sizeof(Offset3)));
}

// One of a library's own patterns, found by name without listing the library, or None.
py::object library_pattern(const motiloom::PatternLibrary& library, std::string_view name) {
    for (const motiloom::SampledPattern& pattern : library.patterns()) {
        if (pattern.name() == name) {
            return pattern_contents(pattern);
        }
    }
    return py::none();
}

py::tuple library_names(const motiloom::PatternLibrary& library) {
    const std::vector<motiloom::SampledPattern>& patterns = library.patterns();
    py::tuple out(patterns.size());
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        out[i] = py::str(patterns[i].name());
    }
    return out;
}

// Arrays as the rig hands them over: converted to the element type and made contiguous.
template <typename T>
using Array = py::array_t<T, py::array::c_style | py::array::forcecast>;

template <typename T>
std::vector<T> copied(const Array<T>& values) {
    return std::vector<T>(values.data(), values.data() + values.size());
}

// One frame of a rig's heads, worked out as motiloom_kit.rig does it over arrays, step for step
// and rounding for rounding, so that the two give the same bytes: the loop row and the fraction
// past it of each moving fixture (exact integer arithmetic), its levels on that row plus the
// slope times the fraction, an optional fade, the ends, and the levels' bytes into place.
class RigFrame {
  public:
    RigFrame(Array<std::int64_t> modulus, Array<std::int64_t> scale, Array<std::int64_t> shift,
             Array<std::int64_t> denominator, Array<double> rate, Array<std::int64_t> period,
             Array<std::int64_t> heads, Array<std::int64_t> level_start, Array<double> levels,
             Array<double> slopes, Array<double> ceiling, Array<std::int64_t> source,
             Array<std::int64_t> destination, Array<std::uint8_t> base)
        : modulus_(copied(modulus)),
          scale_(copied(scale)),
          shift_(copied(shift)),
          denominator_(copied(denominator)),
          rate_(copied(rate)),
          period_(copied(period)),
          heads_(copied(heads)),
          level_start_(copied(level_start)),
          levels_(copied(levels)),
          slopes_(copied(slopes)),
          ceiling_(copied(ceiling)),
          source_(copied(source)),
          destination_(copied(destination)),
          base_(copied(base)) {
        const std::size_t count = modulus_.size();
        if (scale_.size() != count || shift_.size() != count || denominator_.size() != count ||
            rate_.size() != count || period_.size() != count ||
            level_start_.size() != heads_.size() || ceiling_.size() != 2 * heads_.size() ||
            levels_.size() != slopes_.size() || source_.size() != destination_.size()) {
            throw py::value_error("RigFrame: arrays of unlike lengths");
        }
        for (std::int64_t head : heads_) {
            if (head < 0 || static_cast<std::size_t>(head) >= count) {
                throw py::value_error("RigFrame: a head beyond the moving fixtures");
            }
        }
        for (std::size_t i = 0; i < count; ++i) {
            if (modulus_[i] <= 0 || denominator_[i] <= 0 || period_[i] <= 0) {
                throw py::value_error("RigFrame: a modulus, denominator or period below 1");
            }
        }
        for (std::size_t i = 0; i < source_.size(); ++i) {
            if (source_[i] < 0 || static_cast<std::size_t>(source_[i]) >= 4 * heads_.size() ||
                destination_[i] < 0 || static_cast<std::size_t>(destination_[i]) >= base_.size()) {
                throw py::value_error("RigFrame: a byte out of place");
            }
        }
        rows_.resize(count);
        parts_.resize(count);
        values_.resize(2 * heads_.size());
    }

    // `fraction` < 0 stands for none (whole pips only); `weight` < 0 for no fade, else the
    // share of the show against `origin` (two levels per head).
    void frame(std::int64_t whole, double fraction, bool linear, double weight,
               py::array_t<double, py::array::c_style> origin,
               py::array_t<std::uint8_t, py::array::c_style> out) {
        if (static_cast<std::size_t>(out.size()) != base_.size()) {
            throw py::value_error("RigFrame: the output is not one frame of every universe");
        }
        if (weight >= 0 && static_cast<std::size_t>(origin.size()) != values_.size()) {
            throw py::value_error("RigFrame: the fade's origin is not two levels per head");
        }
        const std::size_t count = modulus_.size();
        const std::size_t total_rows = levels_.size() / 2;
        for (std::size_t i = 0; i < count; ++i) {
            std::int64_t reduced = whole % modulus_[i];
            reduced += reduced < 0 ? modulus_[i] : 0;
            const std::int64_t numerator = reduced * scale_[i] + shift_[i];
            std::int64_t row = numerator / denominator_[i];
            double part = static_cast<double>(numerator % denominator_[i]) /
                          static_cast<double>(denominator_[i]);
            if (fraction >= 0) {
                part += fraction * rate_[i];
                const double carry = std::floor(part);
                part -= carry;
                row += static_cast<std::int64_t>(carry);
            }
            row %= period_[i];
            rows_[i] = row + (row < 0 ? period_[i] : 0);
            parts_[i] = part;
        }
        const double* begin = weight >= 0 ? origin.data() : nullptr;
        for (std::size_t n = 0; n < heads_.size(); ++n) {
            const auto head = static_cast<std::size_t>(heads_[n]);
            const auto at = static_cast<std::size_t>(level_start_[n] + rows_[head]);
            if (at >= total_rows) {
                throw py::value_error("RigFrame: a row beyond the level tables");
            }
            for (std::size_t a = 0; a < 2; ++a) {
                double value = levels_[2 * at + a];
                if (linear) {
                    value += slopes_[2 * at + a] * parts_[head];
                }
                if (begin != nullptr) {
                    value = begin[2 * n + a] + (value - begin[2 * n + a]) * weight;
                }
                value = std::min(std::max(value, 0.5), ceiling_[2 * n + a]);
                values_[2 * n + a] = value;
            }
        }
        std::uint8_t* bytes = out.mutable_data();
        std::copy(base_.begin(), base_.end(), bytes);
        for (std::size_t i = 0; i < source_.size(); ++i) {
            const auto from = static_cast<std::size_t>(source_[i]);
            const auto level = static_cast<std::uint16_t>(values_[from / 2]);
            bytes[destination_[i]] =
                static_cast<std::uint8_t>(from % 2 ? level & 0xFF : level >> 8);
        }
    }

  private:
    std::vector<std::int64_t> modulus_, scale_, shift_, denominator_;
    std::vector<double> rate_;
    std::vector<std::int64_t> period_, heads_, level_start_;
    std::vector<double> levels_, slopes_, ceiling_;
    std::vector<std::int64_t> source_, destination_;
    std::vector<std::uint8_t> base_;
    std::vector<std::int64_t> rows_;
    std::vector<double> parts_, values_;
};

}  // namespace

PYBIND11_MODULE(_tables, m) {
    exports = find_exports();
    const std::size_t count = *exports->record_count;
    table_shapes.resize(2 * count);
    for (std::size_t i = 0; i < count; ++i) {
        table_shapes[2 * i] = exports->records[i].period_pips;
        table_shapes[2 * i + 1] = 3;
    }
    m.def("procedural", &procedural,
          "(name, description, period_pips, dimensions, family) of each procedural rudiment");
    m.def("records", &records,
          "(name, description, period_pips, dimensions, pack, family) of each baked record");
    m.def("tables", &tables, "a read-only (period, 3) float64 memoryview of each baked table");
    m.def("pattern_contents", &pattern_contents, py::arg("pattern"),
          "(name, description bytes, dimensions, samples bytes) of a SampledPattern");
    m.def("library_pattern", &library_pattern, py::arg("library"), py::arg("name"),
          "pattern_contents of a PatternLibrary's own pattern of that name, or None");
    py::class_<RigFrame>(m, "RigFrame")
        .def(py::init<Array<std::int64_t>, Array<std::int64_t>, Array<std::int64_t>,
                      Array<std::int64_t>, Array<double>, Array<std::int64_t>, Array<std::int64_t>,
                      Array<std::int64_t>, Array<double>, Array<double>, Array<double>,
                      Array<std::int64_t>, Array<std::int64_t>, Array<std::uint8_t>>())
        .def("frame", &RigFrame::frame, py::arg("whole"), py::arg("fraction"), py::arg("linear"),
             py::arg("weight"), py::arg("origin"), py::arg("out"));
    m.def("library_names", &library_names, py::arg("library"),
          "the names of a PatternLibrary's own patterns, in order");
}
