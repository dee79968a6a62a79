#include "python/key_info.h"

#include <string>

#include "python/registry_error.h"
#include "regfile/reg_key_path.h"
#include "regfile/wine_prefix.h"
#include "registry/registry_service.h"

namespace qvr::python {
namespace py = pybind11;
namespace {

// The key `path` names, asked on its machine; the GIL is released meanwhile
// (the call may wait for another thread's or process's transaction).
KeyInfo Query(const std::string& path) {
  RegKeyPath key;
  std::string error;
  if (!RegKeyPath::Parse(path, &key, &error)) throw py::value_error(path + ": " + error);
  Status status;
  LONG rc = ERROR_SUCCESS;
  KeyInfo info;
  {
    py::gil_scoped_release unlocked;
    std::shared_ptr<RegistryService> service = CurrentRegistryService(&status);
    if (service) {
      HKEY root = 0, opened = 0;
      bool must_close = false;
      rc = key.OpenRoot(*service, &root, &must_close);
      if (rc == ERROR_SUCCESS) rc = service->OpenKey(root, key.sub_key().c_str(), &opened);
      if (rc == ERROR_SUCCESS) rc = service->QueryInfoKey(opened, &info);
      if (opened != 0) service->CloseKey(opened);
      if (must_close) service->CloseKey(root);
    }
  }
  if (!status.ok()) RaiseRegistryError(status.code(), status.message());
  if (rc != ERROR_SUCCESS) RaiseRegistryError(rc, "cannot read the key " + path);
  return info;
}

// A FILETIME as an aware datetime in UTC; None for 0 (not known).
py::object LastWrite(int64_t filetime) {
  if (filetime <= 0) return py::none();
  py::module_ datetime = py::module_::import("datetime");
  py::object utc = datetime.attr("timezone").attr("utc");
  py::object start = datetime.attr("datetime")(1601, 1, 1, 0, 0, 0, 0, utc);
  return start + datetime.attr("timedelta")(py::arg("microseconds") = filetime / 10);
}

}  // namespace

void BindKeyInfo(py::module_& m) {
  // Keys of a Wine prefix in the machine table answer as well.
  WinePrefix::RegisterOpener();
  py::object type =
      py::module_::import("collections")
          .attr("namedtuple")(
              "KeyInfo",
              py::make_tuple("class_name", "sub_keys", "max_sub_key_len", "max_class_len", "values",
                             "max_value_name_len", "max_value_len", "last_write"));
  type.attr("__module__") = m.attr("__name__");
  m.attr("KeyInfo") = type;
  m.def(
      "key_info",
      [type](const std::string& path) {
        KeyInfo info = Query(path);
        return type(info.class_name, info.sub_keys, info.max_sub_key_len, info.max_class_len,
                    info.values, info.max_value_name_len, info.max_value_len,
                    LastWrite(info.last_write));
      },
      py::arg("path"),
      "What RegQueryInfoKeyA tells of the key `path` ([\\\\MACHINE\\]HIVE[\\sub\\key], the hive "
      "long or short): a KeyInfo of the class name, the counts of sub-keys and values, the "
      "longest sub-key name, class and value name (UTF-16 units), the largest value data "
      "(bytes) and last_write, when the key last changed (datetime in UTC, None when the "
      "store does not know). Raises FileNotFoundError for a missing key, ValueError for a "
      "name that is not a key's, OSError for other failures.");
}

}  // namespace qvr::python
