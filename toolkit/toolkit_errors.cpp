#include "toolkit/toolkit_errors.h"

#include "toolkit/toolkit_constants.h"

namespace qvr::toolkit {

AutomationError IndexOutOfBounds(const std::string& source) {
  return AutomationError(toolkit_errors::kIndexOutOfBounds, source, "Index out of bounds");
}
AutomationError ElementNotFound(const std::string& source) {
  return AutomationError(toolkit_errors::kElementNotFound, source, "Element not found");
}
AutomationError KeyNotUnique(const std::string& source) {
  return AutomationError(toolkit_errors::kKeyNotUnique, source, "Key is not unique in collection");
}
AutomationError InvalidKey(const std::string& source) {
  return AutomationError(toolkit_errors::kInvalidKey, source, "Invalid key");
}
AutomationError ControlDeleted(const std::string& source) {
  return AutomationError(toolkit_errors::kControlDeleted, source, "Control has been deleted");
}
AutomationError InvalidRelationship(const std::string& source) {
  return AutomationError(toolkit_errors::kInvalidRelationship, source,
                         "Invalid procedure call or argument");
}

}  // namespace qvr::toolkit
