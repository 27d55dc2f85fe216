#pragma once

// Argument kinds whose conversion lets an interrupt through.
//
// pybind11's own number and text conversions clear whatever error the host raised while
// converting and refuse the value, so a KeyboardInterrupt, SystemExit or MemoryError raised in a
// caller's __float__ or __index__ (a Ctrl-C landing there included) became the TypeError for
// refused arguments and the program carried on. The kinds below convert exactly as pybind11's
// do (the same host calls in the same order, the same values accepted and refused), and differ
// only there: an error that asks the program to stop is passed on unchanged. Every other error
// still refuses the value. Their signature names are pybind11's, so no __doc__ changes.

#include <Python.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace host {

// True for an error that must not be taken for a refused value: anything that is not an
// Exception (KeyboardInterrupt, SystemExit, GeneratorExit) and MemoryError.
inline bool stops_the_program(PyObject* type) {
    return PyErr_GivenExceptionMatches(type, PyExc_Exception) == 0 ||
           PyErr_GivenExceptionMatches(type, PyExc_MemoryError) != 0;
}

// With a host error set: throws it on if it asks the program to stop, else clears it.
inline void pass_on_stop_or_clear() {
    PyObject* type = PyErr_Occurred();
    if (type != nullptr && stops_the_program(type)) {
        throw pybind11::error_already_set();
    }
    PyErr_Clear();
}

// Runs the host's signal handlers now (a Ctrl-C becomes KeyboardInterrupt here): long
// conversions call this every CHECK_SIGNALS_EVERY elements.
constexpr std::size_t CHECK_SIGNALS_EVERY = 4096;
inline void check_signals() {
    if (PyErr_CheckSignals() != 0) {
        throw pybind11::error_already_set();
    }
}

// A signed 32-bit pip, converted as pybind11 converts an int argument.
struct Pip {
    int value = 0;
};

// A double, converted as pybind11 converts a double argument.
struct Real {
    double value = 0.0;
};

// An owned string (str as UTF-8, bytes and bytearray as raw bytes), as pybind11 converts one.
struct Text {
    std::string value;
};

// A view of a str's UTF-8 bytes or of a bytes or bytearray object, valid during the call.
struct TextView {
    std::string_view value;
};

}  // namespace host

namespace pybind11::detail {

template <>
struct type_caster<host::Pip> {
    PYBIND11_TYPE_CASTER(host::Pip, make_caster<int>::name);

    bool load(handle src, bool convert) {
        if (!src) {
            return false;
        }
        PyObject* raw = src.ptr();
        if (PyFloat_Check(raw) || !(convert || PyLong_Check(raw) || PyIndex_Check(raw))) {
            return false;
        }
        const long wide = PyLong_AsLong(raw);
        const bool failed = PyErr_Occurred() != nullptr;
        if (failed || wide != static_cast<long>(static_cast<int>(wide))) {
            if (failed) {
                host::pass_on_stop_or_clear();
            }
            if (failed && convert && PyNumber_Check(raw) != 0) {
                const object number = reinterpret_steal<object>(PyNumber_Long(raw));
                if (!number) {
                    host::pass_on_stop_or_clear();
                }
                return load(number, false);
            }
            return false;
        }
        value.value = static_cast<int>(wide);
        return true;
    }

    static handle cast(host::Pip pip, return_value_policy, handle) {
        return PyLong_FromLong(pip.value);
    }
};

template <>
struct type_caster<host::Real> {
    PYBIND11_TYPE_CASTER(host::Real, make_caster<double>::name);

    bool load(handle src, bool convert) {
        if (!src) {
            return false;
        }
        PyObject* raw = src.ptr();
        if (!(convert || PyFloat_Check(raw) || PyLong_Check(raw))) {
            return false;
        }
        const double number = PyFloat_AsDouble(raw);
        if (PyErr_Occurred() != nullptr) {
            host::pass_on_stop_or_clear();
            if (convert && PyNumber_Check(raw) != 0) {
                const object as_float = reinterpret_steal<object>(PyNumber_Float(raw));
                if (!as_float) {
                    host::pass_on_stop_or_clear();
                }
                return load(as_float, false);
            }
            return false;
        }
        value.value = number;
        return true;
    }

    static handle cast(host::Real real, return_value_policy, handle) {
        return PyFloat_FromDouble(real.value);
    }
};

// Text: a str is encoded here (the only step of pybind11's text conversion that can fail with a
// host error: exhausted memory, or a lone surrogate that UTF-8 cannot hold); bytes and bytearray
// go to pybind11's own conversion, which calls nothing that can raise.
template <typename Value, typename Native>
struct text_caster {
    bool load(handle src, bool convert) {
        if (!src) {
            return false;
        }
        if (PyUnicode_Check(src.ptr())) {
            Py_ssize_t size = 0;
            const char* bytes = PyUnicode_AsUTF8AndSize(src.ptr(), &size);
            if (bytes == nullptr) {
                host::pass_on_stop_or_clear();
                return false;
            }
            value.value = Native(bytes, static_cast<std::size_t>(size));
            return true;
        }
        make_caster<Native> raw;
        if (!raw.load(src, convert)) {
            return false;
        }
        value.value = cast_op<Native&>(raw);
        return true;
    }

    PYBIND11_TYPE_CASTER(Value, make_caster<Native>::name);

    static handle cast(const Value& text, return_value_policy policy, handle parent) {
        return make_caster<Native>::cast(text.value, policy, parent);
    }
};

template <>
struct type_caster<host::Text> : text_caster<host::Text, std::string> {};

template <>
struct type_caster<host::TextView> : text_caster<host::TextView, std::string_view> {};

}  // namespace pybind11::detail
