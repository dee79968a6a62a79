#include "reglib/internal/model_access.h"

#include <string>
#include <utility>

#include "reglib/qvr_cls_registry_object.h"

namespace qvr::reglib_internal {

std::shared_ptr<qvrClsKey> ModelAccess::NewKey() {
  return std::make_shared<qvrClsKey>(qvrClsKey::Token{});
}
std::shared_ptr<qvrClsKeys> ModelAccess::NewKeys() {
  return std::make_shared<qvrClsKeys>(qvrClsKeys::Token{});
}
std::shared_ptr<qvrClsValue> ModelAccess::NewValue() {
  return std::make_shared<qvrClsValue>(qvrClsValue::Token{});
}
std::shared_ptr<qvrClsValues> ModelAccess::NewValues() {
  return std::make_shared<qvrClsValues>(qvrClsValues::Token{});
}

// ---- qvrClsKey ----

void ModelAccess::SetHadChildrenOnEnum(qvrClsKey& key, bool had_children) {
  key.had_children_on_enum_ = had_children;
}
void ModelAccess::SetHandle(qvrClsKey& key, HKEY handle) { key.handle_ = handle; }
void ModelAccess::SetParent(qvrClsKey& key, const std::shared_ptr<qvrClsKeys>& parent) {
  key.parent_ = parent;
}
void ModelAccess::SetKeyName(qvrClsKey& key, std::string_view name) {
  if (key.key_name_ != name) key.key_name_.assign(name);
}
void ModelAccess::SetValues(qvrClsKey& key, std::shared_ptr<qvrClsValues> values) {
  key.values_ = std::move(values);
}
void ModelAccess::SetRegistryObject(qvrClsKey& key,
                                    std::shared_ptr<qvrClsRegistryObject> registry) {
  key.registry_ = std::move(registry);
}
const std::shared_ptr<qvrClsRegistryObject>& ModelAccess::RegistryObject(const qvrClsKey& key) {
  return key.registry_;
}

// ---- qvrClsKeys ----

void ModelAccess::SetHandle(qvrClsKeys& keys, HKEY handle) { keys.handle_ = handle; }
void ModelAccess::SetRegistryObject(qvrClsKeys& keys,
                                    std::shared_ptr<qvrClsRegistryObject> registry) {
  keys.registry_ = std::move(registry);
}
const std::shared_ptr<qvrClsRegistryObject>& ModelAccess::RegistryObject(const qvrClsKeys& keys) {
  return keys.registry_;
}

std::shared_ptr<qvrClsKey> ModelAccess::Add(qvrClsKeys& keys, std::string_view KeyName, HKEY Handle,
                                            std::string_view sKey) {
  auto key = NewKey();
  SetParent(*key, keys.shared_from_this());
  SetRegistryObject(*key, keys.registry_);
  SetHandle(*key, Handle);
  SetKeyName(*key, KeyName);
  // A key already in use: the new key is returned all the same, unfiled.
  keys.File(key, sKey);
  return key;
}

// ---- qvrClsValue ----

void ModelAccess::SetParentKey(qvrClsValue& value, HKEY parent_key) {
  value.parent_key_ = parent_key;
  if (value.registry_ && value.NamesOneValue() && value.auto_set_) value.GetValue();
}
void ModelAccess::SetParent(qvrClsValue& value, const std::shared_ptr<qvrClsValues>& parent) {
  value.parent_ = parent;
}
void ModelAccess::SetRegistryObject(qvrClsValue& value,
                                    std::shared_ptr<qvrClsRegistryObject> registry) {
  value.registry_ = std::move(registry);
  if (value.NamesOneValue() && value.parent_key_ != 0 && value.auto_set_ && value.registry_) {
    value.GetValue();
  }
}
void ModelAccess::SetValueName(qvrClsValue& value, std::string_view name) {
  value.Rename(name, name);
}
void ModelAccess::SetDataType(qvrClsValue& value, RegistryDataTypes type) {
  value.data_type_ = type;
}
const std::shared_ptr<qvrClsRegistryObject>& ModelAccess::RegistryObject(const qvrClsValue& value) {
  return value.registry_;
}

// ---- qvrClsValues ----

void ModelAccess::SetParentKey(qvrClsValues& values, HKEY parent_key) {
  values.parent_key_ = parent_key;
}
void ModelAccess::SetRegistryObject(qvrClsValues& values,
                                    std::shared_ptr<qvrClsRegistryObject> registry) {
  values.registry_ = std::move(registry);
}
const std::shared_ptr<qvrClsRegistryObject>& ModelAccess::RegistryObject(
    const qvrClsValues& values) {
  return values.registry_;
}

std::shared_ptr<qvrClsValue> ModelAccess::NewMember(qvrClsValues& values,
                                                    RegistryDataTypes DataType) {
  auto value = NewValue();
  SetParent(*value, values.shared_from_this());
  SetRegistryObject(*value, values.registry_);
  SetParentKey(*value, values.parent_key_);
  SetDataType(*value, DataType);
  return value;
}

std::shared_ptr<qvrClsValue> ModelAccess::Add(qvrClsValues& values, std::string_view ValueName,
                                              RegistryDataTypes DataType, std::string_view sKey) {
  auto value = NewMember(values, DataType);
  SetValueName(*value, ValueName);
  if (values.File(value, sKey)) return value;
  // The key is taken (a value literally named "(default)" meets the default
  // value's entry; a taken key is never ""): file it once more, marked with
  // "*". The shown name changes; the value read and written stays the one
  // listed. Should that key be taken too, the caller hears of it (457).
  value->Rename(std::string(ValueName) + "*", ValueName);
  values.members().Add(value, std::string(sKey) + "*");
  return value;
}

std::shared_ptr<qvrClsValue> ModelAccess::AddListed(qvrClsValues& values,
                                                    std::string_view ValueName,
                                                    RegistryDataTypes DataType) {
  auto value = NewMember(values, DataType);
  std::string listed(ValueName);
  while (!values.File(value, listed)) listed += '*';
  value->Rename(listed, ValueName);
  return value;
}

}  // namespace qvr::reglib_internal
