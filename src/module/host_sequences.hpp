#pragma once

// Reading a host container argument one element at a time, with a bound.
//
// pybind11 converts a growable-array argument by reading all of it: a sequence (other than str
// and bytes) element by element after asking its length, and any other iterable it accepts
// (generator, set, dict view, map, zip) into a tuple first, so that an error raised by the
// iterable itself wins over a refused element. Whatever the limit of the class behind it, the
// whole argument was converted before the first check ran: 1,025 copies of a 65,535-row pattern
// (1.5 GiB) for "Too many patterns", and an endless iterator until memory ran out, deaf to
// Ctrl-C, since no host code ran that could notice it.
//
// ElementReader reads the same way, in the same order, with three differences: it stops after
// `most` elements (the caller passes one more than its class can hold, so a container that is
// too long is refused after its first element past the limit, and the rest is never read); it
// converts the elements of an iterable as they arrive, holding none of them, while keeping the
// tuple-first outcome (after a refused element it reads on, still within the bound, so that an
// error of the iterable comes first); and it runs the host's signal handlers every
// CHECK_SIGNALS_EVERY elements. An error that stops the program passes at once.

#include <Python.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstddef>
#include <exception>
#include <new>
#include <optional>
#include <utility>

#include "module/host_values.hpp"

namespace host {

inline bool stops_the_program(const pybind11::error_already_set& error) {
    return !error.matches(PyExc_Exception) || error.matches(PyExc_MemoryError);
}

// True for what pybind11 accepts as a growable array: a sequence other than str and bytes, or a
// generator, set, frozenset, dict view, map or zip object.
inline bool is_element_source(pybind11::handle src) {
    return pybind11::detail::object_is_convertible_to_std_vector(src);
}

class ElementReader {
  public:
    // `src` must be an element source. A sequence is asked its length here, as pybind11 asks it
    // before reading; an error from that passes on.
    ElementReader(pybind11::handle src, bool convert, std::size_t most)
        : src_(src), sequence_(PySequence_Check(src.ptr()) != 0), convert_(convert), most_(most) {
        if (sequence_) {
            const Py_ssize_t length = PySequence_Size(src.ptr());
            if (length < 0) {
                throw pybind11::error_already_set();
            }
            claimed_ = static_cast<std::size_t>(length);
        }
    }

    // The sequence's own length, at most `most`: room to reserve (0 for other iterables). A
    // length that lies costs nothing: the elements read are what counts.
    std::size_t expected() const { return std::min(claimed_, most_); }

    // Calls convert(element) for each element in order, at most `most` times; convert returns
    // false to refuse it. Returns the number of elements read, or nothing once an element was
    // refused (the call then fails with the TypeError for refused arguments).
    template <typename Convert>
    std::optional<std::size_t> read(Convert&& convert) {
        if (!sequence_ && !convert_) {
            return std::nullopt;  // pybind11 takes an iterable only where it may convert
        }
        const pybind11::object iterator =
            pybind11::reinterpret_steal<pybind11::object>(PyObject_GetIter(src_.ptr()));
        if (!iterator) {
            throw pybind11::error_already_set();
        }
        std::size_t count = 0;
        bool refused = false;
        std::exception_ptr failure;
        while (count < most_) {
            const pybind11::object element =
                pybind11::reinterpret_steal<pybind11::object>(PyIter_Next(iterator.ptr()));
            if (!element) {
                if (PyErr_Occurred() != nullptr) {
                    throw pybind11::error_already_set();
                }
                break;
            }
            if (++count % CHECK_SIGNALS_EVERY == 0) {
                check_signals();
            }
            if (refused || failure) {
                continue;  // an iterable reads on: an error of its own still comes first
            }
            if (sequence_) {
                if (!convert(pybind11::handle(element))) {
                    return std::nullopt;
                }
                continue;
            }
            try {
                refused = !convert(pybind11::handle(element));
            } catch (const pybind11::error_already_set& error) {
                if (stops_the_program(error)) {
                    throw;
                }
                failure = std::current_exception();
            } catch (const std::bad_alloc&) {
                throw;
            } catch (...) {
                failure = std::current_exception();
            }
        }
        if (failure) {
            std::rethrow_exception(failure);
        }
        if (refused) {
            return std::nullopt;
        }
        return count;
    }

  private:
    pybind11::handle src_;
    bool sequence_;
    bool convert_;
    std::size_t most_;
    std::size_t claimed_ = 0;
};

}  // namespace host
