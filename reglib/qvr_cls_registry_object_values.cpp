// Reading and writing single values, multi-string conversion, deletion.
#include <cstring>
#include <string>

#include "automation/automation_error.h"
#include "reglib/internal/value_codec.h"
#include "reglib/qvr_cls_registry_object.h"

namespace qvr {

namespace {

using reglib_internal::DecodeRegistryData;
using reglib_internal::EncodeHostValue;

// Most values fit here and are read with a single call; larger ones are read
// again into a buffer of the size the service asks for.
constexpr DWORD kSmallValue = 512;
// Data that keeps growing between the size report and the read is asked for
// again this many times before the read gives up.
constexpr int kReadAttempts = 8;
// Expansions that outgrow the buffer are retried this often (the environment
// is read from the registry at each call, so a write in between may change
// the size needed; once is normally enough).
constexpr int kExpandAttempts = 4;
constexpr DWORD kExpandBuffer = 4096;

enum class ReadOutcome {
  kNoData,      // absent, or zero data bytes
  kData,        // `data` and `type` hold the value
  kUnreadable,  // the read failed: data may exist but could not be read whole
};

ReadOutcome ReadValueData(HKEY key, const std::string& name, DWORD* type, std::string* data) {
  // No value has a NUL in its name; the C string would read another value.
  if (name.find('\0') != std::string::npos) return ReadOutcome::kUnreadable;
  char small[kSmallValue];
  DWORD length = sizeof small;
  DWORD reported_type = REG_NONE;
  LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &reported_type,
                             reinterpret_cast<BYTE*>(small), &length);
  if (rc == ERROR_SUCCESS) {
    if (length == 0) return ReadOutcome::kNoData;
    data->assign(small, length);
    *type = reported_type;
    return ReadOutcome::kData;
  }
  DWORD tried = sizeof small;
  for (int attempt = 0; rc == ERROR_MORE_DATA && attempt < kReadAttempts; ++attempt) {
    // Ask for what the service said it needs, but always for more than last
    // time, so a service that reports no size still gets there.
    DWORD wanted = length > tried ? length : tried * 2;
    data->assign(wanted, '\0');
    length = wanted;
    rc = RegQueryValueExA(key, name.c_str(), nullptr, &reported_type,
                          reinterpret_cast<BYTE*>(data->data()), &length);
    tried = wanted;
    if (rc == ERROR_SUCCESS) {
      data->resize(length);
      if (length == 0) return ReadOutcome::kNoData;
      *type = reported_type;
      return ReadOutcome::kData;
    }
  }
  // Only a value the service reports absent has no data. Any other failure
  // (a busy or damaged store, a full disk) may hide data that exists.
  return rc == ERROR_FILE_NOT_FOUND ? ReadOutcome::kNoData : ReadOutcome::kUnreadable;
}

// Replaces %NAME% references from the environment of the machine that holds
// `key` (the registry shown, never this process's), growing the buffer for
// long expansions, and cuts the result at its first NUL.
std::string ExpandReferences(HKEY key, const std::string& text) {
  std::string buffer(kExpandBuffer, '\0');
  DWORD size = kExpandBuffer - 1;
  for (int attempt = 0; attempt < kExpandAttempts; ++attempt) {
    DWORD needed = ExpandEnvironmentStringsForKeyA(key, text.c_str(), buffer.data(), size);
    if (needed == 0) break;
    if (needed <= size) return std::string(buffer.c_str());
    buffer.assign(needed + 1, '\0');
    size = needed;
  }
  // The service could not expand it: the text as stored beats an empty one.
  return text;
}

}  // namespace

Variant qvrClsRegistryObject::GetValue(HKEY uKey, std::string_view szValue,
                                       const std::optional<Variant>& DefaultValue,
                                       RegistryDataTypes* lpType) {
  const std::string name(szValue);
  DWORD type = REG_NONE;
  std::string data;
  switch (ReadValueData(uKey, name, &type, &data)) {
    case ReadOutcome::kData:
      break;
    case ReadOutcome::kUnreadable:
      // Data may be there: never overwrite it with the default.
      return DefaultValue ? *DefaultValue : Variant();
    case ReadOutcome::kNoData:
      if (!DefaultValue) return Variant();
      SetValue(uKey, szValue, DefaultValue);
      return *DefaultValue;
  }
  if (lpType) *lpType = static_cast<RegistryDataTypes>(type);
  Variant value = DecodeRegistryData(type, data);
  if (type == REG_EXPAND_SZ) return Variant(ExpandReferences(uKey, value.AsString()));
  return value;
}

Variant qvrClsRegistryObject::GetMultiSZ(std::string_view vData) {
  return Variant::StringArray(reglib_internal::SplitMultiString(vData), 0);
}

std::string qvrClsRegistryObject::ToMultiSZ(const Variant& vData) {
  if (vData.Type() != (vbArray | vbString)) throw errors::TypeMismatch(kErrorSource);
  return reglib_internal::JoinMultiString(vData.AsArray());
}

LONG qvrClsRegistryObject::SetValue(HKEY uKey, std::string_view szValue,
                                    const std::optional<Variant>& vData) {
  // The registry calls take C strings: a NUL would cut the name short.
  if (szValue.find('\0') != std::string_view::npos) return ERROR_INVALID_PARAMETER;
  if (vData && vData->IsObject()) return ERROR_SUCCESS;
  if (!vData || reglib_internal::IsMissingArgument(*vData)) {
    DeleteValue(uKey, szValue);
    return ERROR_SUCCESS;
  }
  std::optional<reglib_internal::EncodedValue> encoded = EncodeHostValue(*vData);
  // A value without a usable form is simply not written.
  if (!encoded) return ERROR_SUCCESS;
  const std::string name(szValue);
  return RegSetValueExA(uKey, name.c_str(), 0, encoded->type,
                        reinterpret_cast<const BYTE*>(encoded->data.data()),
                        static_cast<DWORD>(encoded->data.size()));
}

LONG qvrClsRegistryObject::DeleteValue(HKEY uKey, std::string_view szValue) {
  if (szValue.find('\0') != std::string_view::npos) return ERROR_INVALID_PARAMETER;
  const std::string name(szValue);
  return RegDeleteValueA(uKey, name.c_str());
}

LONG qvrClsRegistryObject::DeleteKey(HKEY uKey, std::string_view szSubKey) {
  if (szSubKey.find('\0') != std::string_view::npos) return ERROR_INVALID_PARAMETER;
  const std::string name(szSubKey);
  return RegDeleteKeyA(uKey, name.c_str());
}

}  // namespace qvr
