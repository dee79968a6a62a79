#include "dispatch/dispatch_table.h"

#include "base/unicode.h"

namespace qvr {

const MemberHandler* DispatchTable::HandlerOf(const MemberInfo& member) const {
  if (info_.members.empty()) return nullptr;
  const MemberInfo* first = info_.members.data();
  if (&member < first || &member >= first + info_.members.size()) return nullptr;
  size_t i = static_cast<size_t>(&member - first);
  if (i >= handlers_.size() || !handlers_[i]) return nullptr;
  return &handlers_[i];
}

DispId DispatchTable::IdFor(const MemberInfo& member) {
  // A property's read and write share an id; the default and enumerator
  // members carry theirs already.
  for (const auto& m : info_.members) {
    if (EqualsNoCase(m.name, member.name)) return m.id;
  }
  if (member.id != DISPID_UNKNOWN) return member.id;
  return next_id_++;
}

DispId DispatchTable::Add(MemberInfo member, MemberHandler handler) {
  member.id = IdFor(member);
  member.slot = static_cast<int32_t>(info_.members.size());
  DispId id = member.id;
  info_.members.push_back(std::move(member));
  handlers_.resize(info_.members.size());
  handlers_.back() = std::move(handler);
  return id;
}

DispId DispatchTable::AddDescription(MemberInfo member) { return Add(std::move(member), nullptr); }

}  // namespace qvr
