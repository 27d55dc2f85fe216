#pragma once

#include <pybind11/pybind11.h>

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
