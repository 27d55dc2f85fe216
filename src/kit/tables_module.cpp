// motiloom_kit._tables: the kit's window into what the build knows. It holds no data of its own.
// At import it finds the catalogue exports of the motiloom extension already loaded in this
// process and from then on hands out read-only views of that extension's static tables, each
// baked record's pack and family as the generator declared them, and the contents of the caller's
// patterns and libraries, which the module's own API can only give one pip or one whole listing at
// a time.
#include <Python.h>
#include <dlfcn.h>
#include <pybind11/pybind11.h>

#include <cstddef>
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
    m.def("library_names", &library_names, py::arg("library"),
          "the names of a PatternLibrary's own patterns, in order");
}
