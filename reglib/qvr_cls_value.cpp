#include "reglib/qvr_cls_value.h"

#include "reglib/internal/value_codec.h"
#include "reglib/qvr_cls_registry_object.h"

namespace qvr {

const Variant& qvrClsValue::Value() {
  if (!loaded_ && auto_set_) GetValue();
  return value_;
}

void qvrClsValue::Value(Variant vData) {
  value_ = std::move(vData);
  if (auto_set_) SetValue();
}

void qvrClsValue::AutoSet(bool vData) {
  auto_set_ = vData;
  if (auto_set_ && !loaded_) GetValue();
}

void qvrClsValue::Default(bool vData) {
  default_ = vData;
  if (value_name_.empty() && default_ && auto_set_ && !loaded_) GetValue();
}

void qvrClsValue::GetValue() {
  if (!registry_) return;
  value_ = registry_->GetValue(parent_key_, registry_name_);
  if (auto size = reglib_internal::HostValueSize(value_)) size_ = *size;
  loaded_ = true;
}

void qvrClsValue::SetValue() {
  if (!registry_) return;
  registry_->SetValue(parent_key_, registry_name_, value_);
  loaded_ = true;
}

void qvrClsValue::Clear() { value_ = Variant(); }

std::string qvrClsValue::TypeWord(bool Friendly) const {
  switch (data_type_) {
    case 1:
      return Friendly ? "String" : "REG_SZ";
    case 2:
      return Friendly ? "String With Environment Variables" : "REG_EXPAND_SZ";
    case 3:
      return Friendly ? "Binary" : "REG_BINARY";
    case 4:
    case 5:
      return Friendly ? "DWord" : "REG_DWORD";
    case 6:
      return Friendly ? "Multiple Strings" : "REG_MULTISZ";
    case 7:
      return Friendly ? "Multiple Strings" : "REG_MULTI_SZ";
    case 9:
      return "";
    default:
      return Friendly ? "None" : "REG_NONE";
  }
}

void qvrClsValue::Rename(std::string_view shown, std::string_view registry_name) {
  registry_name_.assign(registry_name);
  if (shown == value_name_) return;
  value_name_.assign(shown);
  if (registry_ && parent_key_ != 0 && auto_set_) GetValue();
}

}  // namespace qvr
