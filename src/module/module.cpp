#include <pybind11/pybind11.h>

#include "core/pip.hpp"
#include "module/bindings.hpp"

// Multi-phase module definition: the exec step registers every attribute once per interpreter,
// in this order, each class before the functions whose signatures name it.
PYBIND11_MODULE(motiloom, m) {
    m.doc() = "Integer-pip rhythmic position functions";
    m.attr("PIPS_PER_BEAT") = motiloom::PIPS_PER_BEAT;
    bind_sampled_recording(m);
    bind_offset3(m);
    bind_sampled_pattern(m);
    bind_pattern_library(m);
    bind_catalogue_functions(m);
    bind_rudiments(m);
}
