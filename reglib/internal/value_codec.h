// The conversions between registry data and host values, apart from the
// service calls that move the data.
#ifndef QVR_REGLIB_INTERNAL_VALUE_CODEC_H_
#define QVR_REGLIB_INTERNAL_VALUE_CODEC_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/registry_api.h"
#include "automation/variant.h"

namespace qvr::reglib_internal {

// The host value for `data` of registry type `type` (see
// qvrClsRegistryObject::GetValue). REG_EXPAND_SZ comes back unexpanded: the
// caller expands it.
Variant DecodeRegistryData(DWORD type, std::string_view data);

// REG_SZ data as text: one terminating NUL dropped, where there is one.
std::string_view TextOfStringData(std::string_view data);

// "XX " for each byte: two upper-case hexadecimal digits and a space.
std::string FormatBinary(std::string_view data);

// The registry type and data that SetValue writes for a host value; nullopt
// when nothing is written, among them a String array holding an element
// without a text form. Raises nothing. Objects and omitted arguments are
// decided by the caller before this.
struct EncodedValue {
  DWORD type = REG_NONE;
  std::string data;
};
std::optional<EncodedValue> EncodeHostValue(const Variant& value);

// The text of a String array: each element and a NUL, then one more NUL.
std::string JoinMultiString(const VariantArray& strings);
// The pieces of a multi-string text, split at every NUL.
std::vector<std::string> SplitMultiString(std::string_view text);

// The Size a qvrClsValue reports for a host value it has read; nullopt for
// Empty (Size then keeps its previous value).
std::optional<int32_t> HostValueSize(const Variant& value);

// True for the value a host passes for an omitted optional argument.
bool IsMissingArgument(const Variant& value);

}  // namespace qvr::reglib_internal

#endif  // QVR_REGLIB_INTERNAL_VALUE_CODEC_H_
