// The errors the widgets raise, built with their usual descriptions.
#ifndef QVR_TOOLKIT_TOOLKIT_ERRORS_H_
#define QVR_TOOLKIT_TOOLKIT_ERRORS_H_

#include <string>

#include "automation/automation_error.h"

namespace qvr::toolkit {

AutomationError IndexOutOfBounds(const std::string& source);
AutomationError ElementNotFound(const std::string& source);
AutomationError KeyNotUnique(const std::string& source);
AutomationError InvalidKey(const std::string& source);
AutomationError ControlDeleted(const std::string& source);
AutomationError InvalidRelationship(const std::string& source);

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_TOOLKIT_ERRORS_H_
