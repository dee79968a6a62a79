// Conversions between Python values and Variants for the qvrRegistryBrowser
// module.
//
//   Python                         Variant
//   None                           Empty (and Nothing back as None)
//   bool                           Boolean
//   int                            Long (0x80000000..0xFFFFFFFF as their
//                                  32-bit pattern, so handles read naturally)
//   float                          Double
//   str                            String (back: UTF-8 decoded; a String
//                                  that is not UTF-8 byte by byte, each byte
//                                  the character U+0000..U+00FF of its number)
//   bytes, bytearray               array of Byte
//   list/tuple of str              array of String (other lists: array of
//                                  Variant)
//   Integer, Byte, Single,         Integer, Byte, Single, Currency, Date, Null
//   Currency, Date, Null
//   a server object                the object
//   any other callable             an object whose default member calls it
// Back, Integer/Long/Byte give int, Single/Double float, Currency and Decimal
// decimal.Decimal, Date datetime.datetime, Null the Null singleton, arrays
// lists, server objects wrappers and enumerators Python iterators.
#ifndef QVR_PYTHON_VALUES_H_
#define QVR_PYTHON_VALUES_H_

#include <pybind11/pybind11.h>

#include "dispatch/dispatch.h"
#include "automation/variant.h"

namespace qvr::python {

namespace py = pybind11;

// The host-type wrappers, for values Python has no type of its own for.
struct IntegerValue {
  int16_t value;
};
struct ByteValue {
  uint8_t value;
};
struct SingleValue {
  float value;
};
struct CurrencyValue {
  Currency value;
};
struct DateValue {
  Date value;
};
struct NullValue {};
struct MissingValue {};
// A by-reference argument: the callee's new value lands in `value`.
struct RefValue {
  py::object value;
};

Variant ToVariant(const py::handle& value);
py::object FromVariant(const Variant& value);

// The str of text from the server: UTF-8 when it is valid UTF-8, else each
// byte as the character of the same number. Registry data is bytes a writer
// chose, so text that is not UTF-8 must still arrive whole, never as a
// UnicodeDecodeError.
py::str TextToPython(const std::string& text);

// Registers the wrapper classes on the module.
void BindValueTypes(py::module_& m);

}  // namespace qvr::python

#endif  // QVR_PYTHON_VALUES_H_
