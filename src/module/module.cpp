#include <Python.h>
#include <pybind11/pybind11.h>

#include "core/pip.hpp"
#include "module/bindings.hpp"

// The module works in the main interpreter only. On CPython 3.11, pybind11 3.1 has no support for
// sub-interpreters: the entry point it generates takes the interpreter lock through
// PyGILState_Ensure while it sets up its shared state, and in a sub-interpreter that call waits
// forever for the lock its own thread holds (PyGILState knows the main interpreter only), so the
// import hangs. The entry point therefore refuses any other interpreter with ImportError before
// pybind11 runs. pybind11 offers no hook ahead of that step, so its entry-point macro is
// redefined for this one module: the function it generates keeps its body and becomes the one
// that the guard calls.
#pragma push_macro("PYBIND11_PLUGIN_IMPL")
#undef PYBIND11_PLUGIN_IMPL
#define PYBIND11_PLUGIN_IMPL(name)                                                           \
    static PyObject* pybind11_entry_##name();                                                \
    PYBIND11_PLUGIN_DECL(name)                                                               \
    extern "C" PYBIND11_EXPORT PyObject* PyInit_##name() {                                   \
        if (PyInterpreterState_Get() != PyInterpreterState_Main()) {                         \
            PyErr_SetString(PyExc_ImportError,                                               \
                            "module " #name " does not support loading in subinterpreters"); \
            return nullptr;                                                                  \
        }                                                                                    \
        return pybind11_entry_##name();                                                      \
    }                                                                                        \
    static PyObject* pybind11_entry_##name()

// Multi-phase module definition: the exec step registers every attribute once per interpreter,
// in this order, each class before the functions whose signatures name it.
PYBIND11_MODULE(motiloom, m) {
    guard_object_base();
    m.doc() = "Integer-pip rhythmic position functions";
    m.attr("PIPS_PER_BEAT") = motiloom::PIPS_PER_BEAT;
    bind_sampled_recording(m);
    bind_offset3(m);
    bind_sampled_pattern(m);
    bind_pattern_library(m);
    bind_catalogue_functions(m);
    bind_rudiments(m);
}

#pragma pop_macro("PYBIND11_PLUGIN_IMPL")
