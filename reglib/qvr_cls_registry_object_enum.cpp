// Enumeration of sub-keys and values, with events, yielding and abort.
#include <cstring>
#include <string>
#include <vector>

#include "automation/automation_error.h"
#include "reglib/internal/model_access.h"
#include "reglib/qvr_cls_key.h"
#include "reglib/qvr_cls_keys.h"
#include "reglib/qvr_cls_registry_object.h"
#include "reglib/qvr_cls_value.h"
#include "reglib/qvr_cls_values.h"

namespace qvr {

namespace {

using reglib_internal::ModelAccess;

// The name buffer of the enumerations. It starts at 1,024 bytes and grows for
// the rare longer name, up to what the longest value name Windows allows
// (16,383 characters) can take in UTF-8.
class NameBuffer {
 public:
  static constexpr DWORD kStart = 1024;
  static constexpr DWORD kLargest = 65536;

  NameBuffer() : bytes_(kStart + 1) {}

  LONG EnumKey(HKEY key, DWORD index) {
    return Fetch([&](char* name, DWORD* length) {
      FILETIME written;
      return RegEnumKeyExA(key, index, name, length, nullptr, nullptr, nullptr, &written);
    });
  }

  LONG EnumValue(HKEY key, DWORD index, DWORD* type) {
    return Fetch([&](char* name, DWORD* length) {
      return RegEnumValueA(key, index, name, length, nullptr, type, nullptr, nullptr);
    });
  }

  // The name fetched last: the text up to its first NUL.
  std::string Name() const { return std::string(bytes_.data(), strnlen(bytes_.data(), length_)); }

 private:
  template <class Call>
  LONG Fetch(const Call& call) {
    for (;;) {
      bytes_[0] = '\0';
      DWORD capacity = static_cast<DWORD>(bytes_.size() - 1);
      DWORD length = capacity;
      LONG rc = call(bytes_.data(), &length);
      length_ = length < capacity ? length : capacity;
      // A name too long for the buffer is fetched again with a larger one,
      // never skipped.
      if (rc != ERROR_MORE_DATA || capacity >= kLargest) return rc;
      bytes_.assign(static_cast<size_t>(capacity) * 4 + 1, '\0');
    }
  }

  std::vector<char> bytes_;
  DWORD length_ = 0;
};

}  // namespace

// Counts the enumerations under way; the last one to end drops an abort
// request nobody acted on.
class qvrClsRegistryObject::EnumScope {
 public:
  explicit EnumScope(qvrClsRegistryObject& owner) : owner_(owner) {
    ++owner_.running_enumerations_;
  }
  ~EnumScope() {
    if (--owner_.running_enumerations_ == 0) owner_.abort_requested_ = false;
  }
  EnumScope(const EnumScope&) = delete;
  EnumScope& operator=(const EnumScope&) = delete;

 private:
  qvrClsRegistryObject& owner_;
};

void qvrClsRegistryObject::RunDoEventsHook() {
  // The host's pump may install another hook: run a copy, not the one that
  // is being replaced.
  if (!do_events_) return;
  std::function<void()> hook = do_events_;
  hook();
}

bool qvrClsRegistryObject::TakeAbort() {
  if (!abort_requested_) return false;
  abort_requested_ = false;
  return true;
}

bool qvrClsRegistryObject::HasChildren(HKEY parent, const std::string& name) {
  // The probe uses its own handle and leaves the handle table alone.
  HKEY probe = 0;
  if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ, &probe) != ERROR_SUCCESS) return false;
  char first[NameBuffer::kStart + 1];
  DWORD length = NameBuffer::kStart;
  FILETIME written;
  LONG rc = RegEnumKeyExA(probe, 0, first, &length, nullptr, nullptr, nullptr, &written);
  RegCloseKey(probe);
  // A first sub-key whose name overflows the buffer is still a sub-key.
  return rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA;
}

std::shared_ptr<qvrClsKey> qvrClsRegistryObject::GetKeyObject(HKEY uKey, bool fEnumValues) {
  auto key = ModelAccess::NewKey();
  ModelAccess::SetRegistryObject(*key, shared_from_this());
  ModelAccess::SetHandle(*key, uKey);
  if (fEnumValues) ModelAccess::SetValues(*key, EnumValues(uKey, false, false, false));
  return key;
}

std::shared_ptr<qvrClsKeys> qvrClsRegistryObject::EnumKeys(HKEY uKey, bool fRaiseEvents,
                                                           bool fDoEvents, bool fReturnNothing) {
  if (!fRaiseEvents && fReturnNothing) {
    throw AutomationError(kErrSuppressEventsAndReturnNothing, kErrorSource,
                          kErrSuppressEventsAndReturnNothingText);
  }
  // A handler may drop its caller's last reference to this object.
  std::shared_ptr<qvrClsRegistryObject> self = shared_from_this();
  EnumScope scope(*this);

  std::shared_ptr<qvrClsKeys> keys;
  if (!fReturnNothing) {
    keys = ModelAccess::NewKeys();
    ModelAccess::SetRegistryObject(*keys, self);
    ModelAccess::SetHandle(*keys, uKey);
  }
  NameBuffer buffer;
  DWORD index = 0;
  LONG rc = buffer.EnumKey(uKey, index);
  if (rc != ERROR_SUCCESS) return nullptr;

  // Any result but success ends the listing: the last sub-key, or a key
  // deleted or closed meanwhile.
  while (rc == ERROR_SUCCESS) {
    const std::string name = buffer.Name();
    const bool has_children = HasChildren(ParentFor(uKey), name);
    if (keys) {
      auto key = ModelAccess::Add(*keys, name, 0);
      if (has_children) ModelAccess::SetHadChildrenOnEnum(*key, true);
    }
    ++index;
    if (fRaiseEvents) {
      sinks_.Deliver(
          [&](qvrClsRegistryObjectEvents& sink) { sink.KeyEnumerated(name, has_children); });
    }
    if (fDoEvents) RunDoEventsHook();
    rc = buffer.EnumKey(uKey, index);
    if (TakeAbort()) break;
  }
  return keys;
}

std::shared_ptr<qvrClsValue> qvrClsRegistryObject::ReportDefaultValue(
    HKEY uKey, const std::shared_ptr<qvrClsValues>& values, bool fRaiseEvents) {
  std::shared_ptr<qvrClsValue> value;
  if (values) {
    value = ModelAccess::Add(*values, "", rdNone, "(default)");
  } else {
    value = ModelAccess::NewValue();
    ModelAccess::SetParentKey(*value, uKey);
    ModelAccess::SetRegistryObject(*value, shared_from_this());
  }
  RegistryDataTypes type = rdNone;
  GetValue(uKey, "", std::nullopt, &type);
  ModelAccess::SetDataType(*value, type == rdNone ? rdString : type);
  value->Default(true);
  if (fRaiseEvents) {
    sinks_.Deliver([&](qvrClsRegistryObjectEvents& sink) { sink.ValueEnumerated(value); });
  }
  return value;
}

std::shared_ptr<qvrClsValues> qvrClsRegistryObject::EnumValues(HKEY uKey, bool fRaiseEvents,
                                                               bool fDoEvents,
                                                               bool fReturnNothing) {
  if (!fRaiseEvents && fReturnNothing) {
    throw AutomationError(kErrSuppressEventsAndReturnNothing, kErrorSource,
                          kErrSuppressEventsAndReturnNothingText);
  }
  std::shared_ptr<qvrClsRegistryObject> self = shared_from_this();
  EnumScope scope(*this);

  std::shared_ptr<qvrClsValues> values;
  if (!fReturnNothing) {
    values = ModelAccess::NewValues();
    ModelAccess::SetRegistryObject(*values, self);
    ModelAccess::SetParentKey(*values, uKey);
  }
  // The default entry is not the first item that the loop always handles:
  // an abort asked for from its event ends the loop after its first value.
  ReportDefaultValue(uKey, values, fRaiseEvents);

  NameBuffer buffer;
  DWORD index = 0;
  DWORD type = REG_NONE;
  LONG rc = buffer.EnumValue(uKey, index, &type);
  while (rc == ERROR_SUCCESS) {
    const std::string name = buffer.Name();
    if (name.empty()) {
      // The default value was reported first already.
      rc = buffer.EnumValue(uKey, ++index, &type);
      continue;
    }
    std::shared_ptr<qvrClsValue> value;
    if (values) {
      // Members come fully set up (and loaded) from AddListed, which stars
      // a name already listed: a value "(default)" meets the default value's
      // entry, and a value "(default)*" listed before it takes one more star.
      value = ModelAccess::AddListed(*values, name, static_cast<RegistryDataTypes>(type));
    } else {
      value = ModelAccess::NewValue();
      ModelAccess::SetValueName(*value, name);
      ModelAccess::SetRegistryObject(*value, self);
      ModelAccess::SetParentKey(*value, uKey);
      ModelAccess::SetDataType(*value, static_cast<RegistryDataTypes>(type));
    }
    if (fRaiseEvents) {
      sinks_.Deliver([&](qvrClsRegistryObjectEvents& sink) { sink.ValueEnumerated(value); });
    }
    if (fDoEvents) RunDoEventsHook();
    rc = buffer.EnumValue(uKey, ++index, &type);
    if (TakeAbort()) break;
  }
  return values;
}

}  // namespace qvr
