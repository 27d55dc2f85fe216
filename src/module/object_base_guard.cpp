// Keeps the interpreter alive when the shared base of all pybind11 classes is asked for an
// instance of a type that binds no C++ class.
//
// pybind11 3.1 gives its common base type, `pybind11_object`, a tp_new that ends in pybind11_fail
// ("new instance has no pybind11-registered base types") for such a type. That C++ exception
// leaves through a C slot, and the process terminates. Two ordinary calls get there: calling the
// base itself (`type(motiloom.Offset3).__base__()` or `Offset3.__base__()`), and pickling with
// protocol 0 or 1, where copyreg calls the first base whose `__new__` is its own, which is
// `pybind11_object`. The base's slot is replaced with one that raises TypeError for those types
// and otherwise hands over to pybind11's own.
//
// Every type that inherited pybind11's slot gets the guarded one as well (the classes registered
// so far by any module sharing these internals, and their host subclasses): CPython lets
// `pybind11_object.__new__(T)` run only while T's tp_new is the base's own, so a type left with
// the old slot would have that call refused from now on. Classes registered later inherit the
// guarded slot. Direct slot assignment is outside what pybind11 offers for this; it touches no
// type's dict, so no attribute changes.

#include <Python.h>
#include <pybind11/pybind11.h>

#include <utility>
#include <vector>

#include "module/bindings.hpp"

namespace py = pybind11;

namespace {

newfunc pybind11_object_new_slot = nullptr;

extern "C" PyObject* guarded_object_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    try {
        if (py::detail::all_type_info(type).empty()) {
            PyErr_Format(PyExc_TypeError, "cannot create '%.200s' instances: no bound C++ type",
                         type->tp_name);
            return nullptr;
        }
        return pybind11_object_new_slot(type, args, kwargs);
    } catch (py::error_already_set& error) {
        error.restore();
    } catch (...) {
        py::detail::try_translate_exceptions();
    }
    return nullptr;
}

}  // namespace

void guard_object_base() {
    auto* base = reinterpret_cast<PyTypeObject*>(py::detail::get_internals().instance_base);
    if (base->tp_new == guarded_object_new) {
        return;
    }
    pybind11_object_new_slot = base->tp_new;
    std::vector<py::object> pending{
        py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(base))};
    while (!pending.empty()) {
        const py::object type = std::move(pending.back());
        pending.pop_back();
        auto* slots = reinterpret_cast<PyTypeObject*>(type.ptr());
        if (slots->tp_new == pybind11_object_new_slot) {
            slots->tp_new = guarded_object_new;
        }
        for (const py::handle subclass : type.attr("__subclasses__")()) {
            pending.push_back(py::reinterpret_borrow<py::object>(subclass));
        }
    }
}
