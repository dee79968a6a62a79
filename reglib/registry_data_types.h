// RegistryDataTypes: the registry's value type codes as the library names them.
//
// The numbering is the library's own and is kept for its clients: rdLink is 6
// and rdMultiSZ 7, 8 has no name. A qvrClsValue's DataType holds whatever code
// the service reported, named here or not.
#ifndef QVR_REGLIB_REGISTRY_DATA_TYPES_H_
#define QVR_REGLIB_REGISTRY_DATA_TYPES_H_

#include <cstdint>

namespace qvr {

enum RegistryDataTypes : int32_t {
  rdNone = 0,
  rdString = 1,
  rdExpandSZ = 2,
  rdBinary = 3,
  rdDWord = 4,
  rdDWordLittleEndian = 4,
  rdDWordBigEndian = 5,
  rdLink = 6,
  rdMultiSZ = 7,
  rdFullResourceDescriptor = 9,
};

}  // namespace qvr

#endif  // QVR_REGLIB_REGISTRY_DATA_TYPES_H_
