// ImageNames: image keys as small numbers, so a node spends two bytes on each
// of its two image keys instead of a string. The names are shared by every
// tree in the process and never forgotten; a program uses a handful. Number 0
// is "" (no image). Safe to use from several threads.
#ifndef QVR_TOOLKIT_INTERNAL_IMAGE_NAMES_H_
#define QVR_TOOLKIT_INTERNAL_IMAGE_NAMES_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace qvr::toolkit::internal {

class ImageNames {
 public:
  // The number of a name, given a new one when it has none yet. More than
  // 65,535 distinct names raise 7 ("Out of memory").
  static uint16_t Number(std::string_view name);
  // The name of a number given by Number.
  static const std::string& Name(uint16_t number);
};

}  // namespace qvr::toolkit::internal

#endif  // QVR_TOOLKIT_INTERNAL_IMAGE_NAMES_H_
