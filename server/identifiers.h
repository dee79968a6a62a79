// The identifiers of the qvrRegistryBrowser type library, its interfaces and
// its classes. Generated once for this library; never change them, hosts
// and registrations refer to them.
#ifndef QVR_SERVER_IDENTIFIERS_H_
#define QVR_SERVER_IDENTIFIERS_H_

#include "dispatch/guid.h"

namespace qvr::server_ids {

inline constexpr Guid kLibrary = Guid::Literal("{4EB19A2E-5969-4D06-8ED3-8C101EC07275}");

inline constexpr Guid kRegistryObjectClass = Guid::Literal("{7DF6BF82-B158-4324-89A9-327229CBB367}");
inline constexpr Guid kRegistryObjectInterface = Guid::Literal("{F2B79FFE-CEB3-442E-9F65-40B420FB6079}");
inline constexpr Guid kRegistryObjectEvents = Guid::Literal("{31D85F95-92AD-47B6-9A1E-5B8DDC811E77}");

inline constexpr Guid kKeyClass = Guid::Literal("{4533CAFB-2970-49C3-B282-E3062220DD63}");
inline constexpr Guid kKeyInterface = Guid::Literal("{42D9A0F3-84FF-42DC-99F8-33B198A1FB88}");
inline constexpr Guid kKeysClass = Guid::Literal("{8D631A99-76EC-423E-9C41-E3448FFC5386}");
inline constexpr Guid kKeysInterface = Guid::Literal("{34A98FA3-5E29-4CBD-BE52-446B1D9FC004}");

inline constexpr Guid kValueClass = Guid::Literal("{807240E7-E481-4C4C-894A-02CF9B9C8017}");
inline constexpr Guid kValueInterface = Guid::Literal("{785618A1-35D2-4548-8B3E-E7DB02B2EAEF}");
inline constexpr Guid kValuesClass = Guid::Literal("{A53B90F6-3A97-4224-A89E-382257723D26}");
inline constexpr Guid kValuesInterface = Guid::Literal("{D3ACA980-17B1-49C4-9F19-D3E0D77D7880}");

inline constexpr Guid kDataClass = Guid::Literal("{6E0CE258-23DA-4724-8EDE-B6B0BE3D92D9}");
inline constexpr Guid kDataInterface = Guid::Literal("{5969FF6A-90D3-47F9-A4C3-53B49F90B36B}");
inline constexpr Guid kSelectedDataClass = Guid::Literal("{71591ACD-AA72-4474-8FBF-05883C76898C}");
inline constexpr Guid kSelectedDataInterface = Guid::Literal("{3A758738-E810-4CA4-9F13-052130D621F4}");
inline constexpr Guid kCollectionClass = Guid::Literal("{8F252114-7F22-4C75-8B9F-F5562A337857}");
inline constexpr Guid kCollectionInterface = Guid::Literal("{3D3424D8-C7FE-4E25-89FD-821F3419FB8D}");

inline constexpr Guid kControlClass = Guid::Literal("{CA6DF6DD-2CD3-4CBE-AF48-882C95DFB16B}");
inline constexpr Guid kControlInterface = Guid::Literal("{77EC567F-CA15-4828-A954-4F537C32D082}");
inline constexpr Guid kControlEvents = Guid::Literal("{3FF5BD33-244D-40A2-A6D5-9DE19764BCEE}");
// What a person does with the control and sees of it, for scripts and tests.
inline constexpr Guid kControlUserInterface = Guid::Literal("{7CB5A3EA-01B4-4FEF-BD9A-85CB06ADD227}");

inline constexpr Guid kDocumentClass = Guid::Literal("{3A602E60-ED49-4410-A5A5-9AC4B5042D00}");
inline constexpr Guid kDocumentInterface = Guid::Literal("{58C4C6C0-3ABC-4ED8-9430-BF413C4B6763}");

}  // namespace qvr::server_ids

#endif  // QVR_SERVER_IDENTIFIERS_H_
