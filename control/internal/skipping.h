// Skipping: runs one step of a routine that goes on without the step when it
// fails.
//
// Many of the control's routines are a list of steps each of which may fail on
// its own (a node that is not in the tree any more, a sub-item the list has no
// column for, a property bag that holds a text where a number belongs): the
// step is left out and the routine goes on with the next one.
//
// A failed step is an AutomationError: what the toolkit raises for those
// failures and what the automation boundary raises. Anything else (an
// allocation that failed, a broken invariant) is not a step that failed and
// passes on, to the message box or the guard of the routine that called.
//
//   Skipping([&] { sbStatusBar_.Panels(1).Text(text); });
#ifndef QVR_CONTROL_INTERNAL_SKIPPING_H_
#define QVR_CONTROL_INTERNAL_SKIPPING_H_

#include "automation/automation_error.h"

namespace qvr::control_internal {

template <class Fn>
void Skipping(Fn&& step) {
  try {
    step();
  } catch (const AutomationError&) {
    // The step is left out; the caller goes on with the next one.
  }
}

}  // namespace qvr::control_internal

#endif  // QVR_CONTROL_INTERNAL_SKIPPING_H_
