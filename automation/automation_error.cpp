#include "automation/automation_error.h"

namespace qvr::errors {

AutomationError InvalidProcedureCall(const std::string& source) {
  return {kInvalidProcedureCall, source, "Invalid procedure call or argument"};
}
AutomationError Overflow(const std::string& source) { return {kOverflow, source, "Overflow"}; }
AutomationError SubscriptOutOfRange(const std::string& source) {
  return {kSubscriptOutOfRange, source, "Subscript out of range"};
}
AutomationError TypeMismatch(const std::string& source) {
  return {kTypeMismatch, source, "Type mismatch"};
}
AutomationError InvalidUseOfNull(const std::string& source) {
  return {kInvalidUseOfNull, source, "Invalid use of Null"};
}
AutomationError DuplicateKey(const std::string& source) {
  return {kDuplicateKey, source, "This key is already associated with an element of this collection"};
}
AutomationError ObjectVariableNotSet(const std::string& source) {
  return {kObjectVariableNotSet, source, "Object variable or With block variable not set"};
}

}  // namespace qvr::errors
