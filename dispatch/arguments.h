// Arguments: the parameters of one late-bound call, bound to the member's
// parameter list (see DispatchObject).
//
// Position i is the member's i-th parameter. An omitted optional parameter
// reads as its declared default, or as missing when it has none.
#ifndef QVR_DISPATCH_ARGUMENTS_H_
#define QVR_DISPATCH_ARGUMENTS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dispatch/type_info.h"
#include "automation/variant.h"

namespace qvr {

class Arguments {
 public:
  // `slots[i]` points at the caller's Variant for parameter i, or is null
  // when it was omitted.
  Arguments(const MemberInfo& member, std::vector<Variant*> slots);

  size_t Size() const { return slots_.size(); }
  // True when the caller passed parameter i.
  bool Given(size_t i) const { return slots_[i] != nullptr; }

  // Parameter i as given, or its default, or Empty.
  const Variant& operator[](size_t i) const;
  // Parameter i when given or defaulted; nothing when it is missing.
  std::optional<Variant> Optional(size_t i) const;

  // Conversions as the host converts an argument passed to a parameter of
  // that type; they raise AutomationError 13 (type mismatch) or 6 (overflow).
  int32_t Long(size_t i) const { return (*this)[i].ToLong(); }
  bool Bool(size_t i) const { return (*this)[i].ToBool(); }
  std::string String(size_t i) const;

  // Writes back a by-reference parameter (no effect when it was omitted).
  void SetRef(size_t i, Variant value);

 private:
  const MemberInfo& member_;
  std::vector<Variant*> slots_;
  static const Variant kEmpty;
};

}  // namespace qvr

#endif  // QVR_DISPATCH_ARGUMENTS_H_
