// The images of the registry browser's small-icon list, by key, in order.
#ifndef QVR_TOOLKIT_SMALL_ICONS_H_
#define QVR_TOOLKIT_SMALL_ICONS_H_

#include <array>
#include <string_view>

namespace qvr::toolkit {

inline constexpr std::array<std::string_view, 11> kSmallIconKeys = {
    "BLANK",  "ROOTKEY",    "STRVAL",    "BINVAL",  "REGKEY",       "KEYOPEN",
    "SELECTKEY", "SELECTOPEN", "UNCHECKED", "CHECKED", "REGKEY_ERROR"};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_SMALL_ICONS_H_
