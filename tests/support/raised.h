// Raised: the automation error an action raises, for checking its number,
// source and text in one line each.
#ifndef QVR_TESTS_SUPPORT_RAISED_H_
#define QVR_TESTS_SUPPORT_RAISED_H_

#include <functional>

#include "automation/automation_error.h"

namespace qvr::testing {

// The error `action` raised; number 0 (which no check expects) when it
// raised none.
inline AutomationError Raised(const std::function<void()>& action) {
  try {
    action();
  } catch (const AutomationError& error) {
    return error;
  }
  return AutomationError(0, "", "nothing raised");
}

inline int32_t ErrorNumberOf(const std::function<void()>& action) {
  return Raised(action).Number();
}

}  // namespace qvr::testing

#endif  // QVR_TESTS_SUPPORT_RAISED_H_
