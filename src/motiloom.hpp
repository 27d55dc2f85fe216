#pragma once

// Everything a C++ program needs from motiloom_core. The baked tables and their sample functions
// are declared in the generated header "motiloom_packs.hpp".
#include "catalogue/catalogue.hpp"
#include "core/offset3.hpp"
#include "core/pip.hpp"
#include "core/rudiment_info.hpp"
#include "library/pattern_library.hpp"
#include "library/sampled_pattern.hpp"
#include "library/sampled_recording.hpp"
#include "rudiments/continuous.hpp"
#include "rudiments/strokes.hpp"
