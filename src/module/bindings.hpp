#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <string>
#include <typeinfo>
#include <vector>

#include "core/rudiment_info.hpp"

// Registration steps of the host module, called by the module's exec step in this order.
void bind_sampled_recording(pybind11::module_& m);
void bind_offset3(pybind11::module_& m);
void bind_sampled_pattern(pybind11::module_& m);
void bind_pattern_library(pybind11::module_& m);
void bind_catalogue_functions(pybind11::module_& m);
void bind_rudiments(pybind11::module_& m);

// The host form of a catalogue listing: a new list of new dicts with the keys "name",
// "description", "period_pips" and "dimensions", in that order. Text is decoded as strict UTF-8.
pybind11::list to_host_catalogue(const std::vector<motiloom::RudimentInfo>& entries);

// Replaces the instance-creation slot of pybind11's shared base class with one that raises
// TypeError, instead of stopping the process, for a type that binds no C++ class. Called once,
// before the classes are registered.
void guard_object_base();

// An instance whose __init__ never ran (made by calling __new__ directly, or used by a host
// subclass before it called the bound __init__) holds no native object. pybind11 3.1 with the
// default holder then allocates raw, unconstructed storage for it the first time it is passed to
// a binding, through the class's registered operator new, and the binding runs on that garbage.
// Registering an operator new that throws turns every such use into a TypeError. pybind11 calls
// it nowhere else: bound constructors create their objects with a plain new.
template <typename T>
void* refuse_uninitialised_instance(std::size_t) {
    const auto* info = pybind11::detail::get_type_info(typeid(T));
    throw pybind11::type_error(std::string(info->type->tp_name) +
                               " instance is not initialised: its __init__ did not run");
}

template <typename T>
void refuse_uninitialised_instances(const pybind11::class_<T>&) {
    pybind11::detail::get_type_info(typeid(T))->operator_new = &refuse_uninitialised_instance<T>;
}
