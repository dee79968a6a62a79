#include "python/values.h"

#include <cmath>
#include <limits>

#include "dispatch/enum_variant.h"
#include "python/objects.h"

namespace qvr::python {
namespace {

py::object Datetime() { return py::module_::import("datetime"); }
py::object DecimalType() { return py::module_::import("decimal").attr("Decimal"); }

// Days since 30 December 1899, the fraction being the time of day.
double DateSerial(const py::handle& dt) {
  py::object datetime = Datetime();
  py::object epoch = datetime.attr("datetime")(1899, 12, 30);
  py::object naive = py::reinterpret_borrow<py::object>(dt);
  if (!py::isinstance(dt, datetime.attr("datetime"))) {
    naive = datetime.attr("datetime").attr("combine")(dt, datetime.attr("time")());
  }
  return (naive - epoch).attr("total_seconds")().cast<double>() / 86400.0;
}

py::object DateObject(double serial) {
  py::object datetime = Datetime();
  py::object epoch = datetime.attr("datetime")(1899, 12, 30);
  // Round to the microsecond, as the serial's precision allows.
  double micros = std::round(serial * 86400.0 * 1e6);
  return epoch + datetime.attr("timedelta")(py::arg("microseconds") = micros);
}

int64_t CurrencyScaled(const py::handle& x) {
  if (py::isinstance<py::bool_>(x)) return x.cast<bool>() ? -10000 : 0;
  if (py::isinstance<py::int_>(x)) return x.cast<int64_t>() * 10000;
  if (py::isinstance<py::float_>(x)) return std::llround(x.cast<double>() * 10000.0);
  py::object d = DecimalType()(py::str(x));
  return d.attr("scaleb")(4).attr("to_integral_value")().cast<int64_t>();
}

Variant IntToVariant(const py::handle& value) {
  int overflow = 0;
  long long v = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
  if (overflow == 0) {
    if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max()) {
      return Variant(static_cast<int32_t>(v));
    }
    if (v > std::numeric_limits<int32_t>::max() && v <= 0xFFFFFFFFll) {
      return Variant(static_cast<int32_t>(static_cast<uint32_t>(v)));
    }
  }
  throw py::value_error("int out of the range of a Long (-2**31 .. 2**32-1)");
}

}  // namespace

py::str TextToPython(const std::string& text) {
  PyObject* s = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "strict");
  if (!s) {
    PyErr_Clear();
    s = PyUnicode_DecodeLatin1(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr);
    if (!s) throw py::error_already_set();  // out of memory
  }
  return py::reinterpret_steal<py::str>(s);
}

Variant ToVariant(const py::handle& value) {
  if (value.is_none()) return Variant();
  if (py::isinstance<py::bool_>(value)) return Variant(value.cast<bool>());
  if (py::isinstance<py::int_>(value)) return IntToVariant(value);
  if (py::isinstance<py::float_>(value)) return Variant(value.cast<double>());
  if (py::isinstance<py::str>(value)) return Variant(value.cast<std::string>());
  if (py::isinstance<py::bytes>(value) || py::isinstance<py::bytearray>(value)) {
    std::string bytes = py::isinstance<py::bytes>(value)
                            ? value.cast<std::string>()
                            : std::string(py::reinterpret_borrow<py::bytearray>(value));
    return Variant::ByteArray(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  }
  if (py::isinstance<py::list>(value) || py::isinstance<py::tuple>(value)) {
    py::sequence seq = py::reinterpret_borrow<py::sequence>(value);
    bool all_text = true;
    for (auto item : seq) all_text &= py::isinstance<py::str>(item);
    if (all_text) {
      std::vector<std::string> items;
      for (auto item : seq) items.push_back(item.cast<std::string>());
      return Variant::StringArray(std::move(items));
    }
    std::vector<Variant> items;
    for (auto item : seq) items.push_back(ToVariant(item));
    return Variant::Array(vbVariant, std::move(items));
  }
  if (py::isinstance<IntegerValue>(value)) return Variant(value.cast<IntegerValue>().value);
  if (py::isinstance<ByteValue>(value)) return Variant(value.cast<ByteValue>().value);
  if (py::isinstance<SingleValue>(value)) return Variant(value.cast<SingleValue>().value);
  if (py::isinstance<CurrencyValue>(value)) return Variant(value.cast<CurrencyValue>().value);
  if (py::isinstance<DateValue>(value)) return Variant(value.cast<DateValue>().value);
  if (py::isinstance<NullValue>(value)) return Variant::Null();
  if (py::isinstance<MissingValue>(value)) return MissingArgument();
  if (py::isinstance<RefValue>(value)) return ToVariant(value.cast<RefValue&>().value);
  if (py::isinstance<ServerObject>(value)) {
    return DispatchVariant(value.cast<ServerObject&>().Get());
  }
  py::object datetime = Datetime();
  if (py::isinstance(value, datetime.attr("date"))) return Variant(Date{DateSerial(value)});
  if (py::isinstance(value, DecimalType())) return Variant(Currency{CurrencyScaled(value)});
  // Hooks: the server calls the object's default member.
  if (PyCallable_Check(value.ptr())) {
    return CallableVariant(py::reinterpret_borrow<py::object>(value));
  }
  throw py::type_error("cannot pass a " + std::string(py::str(value.get_type().attr("__name__"))) +
                       " to a server object");
}

py::object FromVariant(const Variant& v) {
  if (v.IsArray()) {
    py::list out;
    for (const auto& e : v.AsArray().elements) out.append(FromVariant(e));
    return out;
  }
  switch (v.Type()) {
    case vbEmpty: return py::none();
    case vbNull: return py::cast(NullValue{});
    case vbInteger: return py::int_(*v.Get<int16_t>());
    case vbLong: return py::int_(*v.Get<int32_t>());
    case vbByte: return py::int_(*v.Get<uint8_t>());
    case vbSingle: return py::float_(*v.Get<float>());
    case vbDouble: return py::float_(*v.Get<double>());
    case vbBoolean: return py::bool_(*v.Get<bool>());
    case vbString: return TextToPython(v.AsString());
    case vbCurrency:
      return DecimalType()(v.Get<Currency>()->scaled).attr("scaleb")(-4);
    case vbDate: return DateObject(v.Get<Date>()->serial);
    case vbDecimal: return DecimalType()(TextToPython(v.ToText()));
    case vbError: return py::none();
    case vbObject: {
      if (Dispatch* d = VariantDispatch(v)) return py::cast(ServerObject(ComPtr<Dispatch>(d)));
      if (EnumVariant* e = VariantEnumerator::FromVariant(v)) {
        return py::cast(ServerIterator(ComPtr<EnumVariant>(e)));
      }
      return py::none();  // Nothing
    }
    default: return TextToPython(v.TextForm().value_or(""));
  }
}

void BindValueTypes(py::module_& m) {
  py::class_<IntegerValue>(m, "Integer", "A 16-bit Integer for a server object.")
      .def(py::init([](int v) {
        if (v < -32768 || v > 32767) throw py::value_error("Integer takes -32768..32767");
        return IntegerValue{static_cast<int16_t>(v)};
      }))
      .def_property_readonly("value", [](const IntegerValue& i) { return i.value; })
      .def("__int__", [](const IntegerValue& i) { return i.value; })
      .def("__repr__", [](const IntegerValue& i) { return "Integer(" + std::to_string(i.value) + ")"; });
  py::class_<ByteValue>(m, "Byte", "An 8-bit unsigned Byte for a server object.")
      .def(py::init([](int v) {
        if (v < 0 || v > 255) throw py::value_error("Byte takes 0..255");
        return ByteValue{static_cast<uint8_t>(v)};
      }))
      .def_property_readonly("value", [](const ByteValue& b) { return b.value; })
      .def("__int__", [](const ByteValue& b) { return b.value; })
      .def("__repr__", [](const ByteValue& b) { return "Byte(" + std::to_string(b.value) + ")"; });
  py::class_<SingleValue>(m, "Single", "A 32-bit floating-point Single for a server object.")
      .def(py::init([](double v) { return SingleValue{static_cast<float>(v)}; }))
      .def_property_readonly("value", [](const SingleValue& s) { return s.value; })
      .def("__float__", [](const SingleValue& s) { return s.value; })
      .def("__repr__", [](const SingleValue& s) { return "Single(" + std::to_string(s.value) + ")"; });
  py::class_<CurrencyValue>(m, "Currency",
                            "A Currency (four decimals) from an int, float, str or Decimal.")
      .def(py::init([](py::object x) { return CurrencyValue{Currency{CurrencyScaled(x)}}; }))
      .def_property_readonly("value", [](const CurrencyValue& c) {
        return DecimalType()(c.value.scaled).attr("scaleb")(-4);
      })
      .def("__repr__", [](const CurrencyValue& c) {
        return "Currency(" + std::string(py::str(DecimalType()(c.value.scaled).attr("scaleb")(-4))) + ")";
      });
  py::class_<DateValue>(m, "Date", "A Date from a datetime/date or a day serial (float).")
      .def(py::init([](py::object x) {
        if (py::isinstance<py::float_>(x) || py::isinstance<py::int_>(x)) {
          return DateValue{Date{x.cast<double>()}};
        }
        return DateValue{Date{DateSerial(x)}};
      }))
      .def_property_readonly("value", [](const DateValue& d) { return DateObject(d.value.serial); })
      .def_property_readonly("serial", [](const DateValue& d) { return d.value.serial; })
      .def("__repr__", [](const DateValue& d) {
        return "Date(" + std::string(py::repr(DateObject(d.value.serial))) + ")";
      });
  py::class_<NullValue>(m, "NullType", "The type of Null, the host's no-valid-data value.")
      .def("__repr__", [](const NullValue&) { return "Null"; })
      .def("__bool__", [](const NullValue&) { return false; })
      .def("__eq__", [](const NullValue&, py::object other) {
        return py::isinstance<NullValue>(other);
      })
      .def("__hash__", [](const NullValue&) { return 0; });
  m.attr("Null") = py::cast(NullValue{});
  py::class_<MissingValue>(m, "MissingType", "The type of Missing, an omitted optional argument.")
      .def("__repr__", [](const MissingValue&) { return "Missing"; });
  m.attr("Missing") = py::cast(MissingValue{});
  py::class_<RefValue>(m, "Ref",
                       "A by-reference argument: after the call, .value holds what the member "
                       "wrote.")
      .def(py::init([](py::object v) { return RefValue{std::move(v)}; }), py::arg("value") = py::none())
      .def_readwrite("value", &RefValue::value)
      .def("__repr__", [](const RefValue& r) { return "Ref(" + std::string(py::repr(r.value)) + ")"; });
}

}  // namespace qvr::python
