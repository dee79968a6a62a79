// The one error type that the system raises to its callers.
//
// It carries what an automation client sees of an error: a number, the name of
// the component that raised it, and a description. Registry failures never
// travel this way; they are result codes (see registry/registry_api.h).
#ifndef QVR_AUTOMATION_AUTOMATION_ERROR_H_
#define QVR_AUTOMATION_AUTOMATION_ERROR_H_

#include <cstdint>
#include <stdexcept>
#include <string>

namespace qvr {

class AutomationError : public std::runtime_error {
 public:
  AutomationError(int32_t number, std::string source, std::string description)
      : std::runtime_error(description),
        number_(number),
        source_(std::move(source)),
        description_(std::move(description)) {}

  int32_t Number() const { return number_; }
  const std::string& Source() const { return source_; }
  const std::string& Description() const { return description_; }

 private:
  int32_t number_;
  std::string source_;
  std::string description_;
};

// The run-time errors of the host language that the system raises, with their
// usual descriptions. `source` names the raising component.
namespace errors {
inline constexpr int32_t kInvalidProcedureCall = 5;  // also "missing key"
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kInvalidUseOfNull = 94;
inline constexpr int32_t kObjectRequired = 424;
inline constexpr int32_t kDuplicateKey = 457;
inline constexpr int32_t kObjectVariableNotSet = 91;

AutomationError InvalidProcedureCall(const std::string& source = "qvrRegistryBrowser");
AutomationError Overflow(const std::string& source = "qvrRegistryBrowser");
AutomationError SubscriptOutOfRange(const std::string& source = "qvrRegistryBrowser");
AutomationError TypeMismatch(const std::string& source = "qvrRegistryBrowser");
AutomationError InvalidUseOfNull(const std::string& source = "qvrRegistryBrowser");
AutomationError DuplicateKey(const std::string& source = "qvrRegistryBrowser");
AutomationError ObjectVariableNotSet(const std::string& source = "qvrRegistryBrowser");
}  // namespace errors

}  // namespace qvr

#endif  // QVR_AUTOMATION_AUTOMATION_ERROR_H_
