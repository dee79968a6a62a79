#include "toolkit/column_headers.h"

#include "automation/automation_error.h"
#include "toolkit/toolkit_errors.h"

namespace qvr::toolkit {
namespace {
const char kSource[] = "ColumnHeaders";
}

void ColumnHeader::Width(float vData) {
  if (vData < 0) throw AutomationError(380, "ColumnHeader", "Invalid property value");
  if (width_ == vData) return;
  width_ = vData;
  if (changed_) changed_();
}

ColumnHeader& ColumnHeaders::Add(int32_t Index, std::string_view Key, std::string_view Text,
                                 float Width) {
  if (Index < 0 || Index > Count() + 1) throw IndexOutOfBounds(kSource);
  if (!Key.empty())
    for (const auto& c : columns_)
      if (c->key_ == Key) throw KeyNotUnique(kSource);
  if (Width < 0) throw AutomationError(380, kSource, "Invalid property value");
  size_t at = Index == 0 ? columns_.size() : static_cast<size_t>(Index - 1);
  columns_.insert(columns_.begin() + static_cast<std::ptrdiff_t>(at),
                  std::make_unique<ColumnHeader>(0, std::string(Key), std::string(Text), Width,
                                                 changed_));
  Renumber();
  if (changed_) changed_();
  return *columns_[at];
}

ColumnHeader& ColumnHeaders::Item(int32_t Index) {
  if (Index < 1 || Index > Count()) throw IndexOutOfBounds(kSource);
  return *columns_[static_cast<size_t>(Index - 1)];
}

const ColumnHeader& ColumnHeaders::Item(int32_t Index) const {
  if (Index < 1 || Index > Count()) throw IndexOutOfBounds(kSource);
  return *columns_[static_cast<size_t>(Index - 1)];
}

ColumnHeader& ColumnHeaders::Item(std::string_view Key) {
  for (auto& c : columns_)
    if (!c->key_.empty() && c->key_ == Key) return *c;
  throw ElementNotFound(kSource);
}

void ColumnHeaders::Remove(int32_t Index) {
  if (Index < 1 || Index > Count()) throw IndexOutOfBounds(kSource);
  columns_.erase(columns_.begin() + (Index - 1));
  Renumber();
  if (changed_) changed_();
}

void ColumnHeaders::Clear() {
  columns_.clear();
  if (changed_) changed_();
}

void ColumnHeaders::Renumber() {
  for (size_t i = 0; i < columns_.size(); ++i) columns_[i]->index_ = static_cast<int32_t>(i + 1);
}

}  // namespace qvr::toolkit
