#include "dispatch/arguments.h"

namespace qvr {

const Variant Arguments::kEmpty;

Arguments::Arguments(const MemberInfo& member, std::vector<Variant*> slots)
    : member_(member), slots_(std::move(slots)) {
  slots_.resize(member_.params.size(), nullptr);
}

const Variant& Arguments::operator[](size_t i) const {
  if (i < slots_.size() && slots_[i]) return *slots_[i];
  if (i < member_.params.size() && member_.params[i].default_value) {
    return *member_.params[i].default_value;
  }
  return kEmpty;
}

std::optional<Variant> Arguments::Optional(size_t i) const {
  if (i < slots_.size() && slots_[i]) return *slots_[i];
  if (i < member_.params.size() && member_.params[i].default_value) {
    return member_.params[i].default_value;
  }
  return std::nullopt;
}

std::string Arguments::String(size_t i) const {
  const Variant& v = (*this)[i];
  if (v.IsString()) return v.AsString();
  return v.ToText();
}

void Arguments::SetRef(size_t i, Variant value) {
  if (i < slots_.size() && slots_[i]) *slots_[i] = std::move(value);
}

}  // namespace qvr
