// EnumVariant: the enumerator a collection's enumerator member hands out,
// for a host's iteration statement.
//
// VariantEnumerator walks a list of Variants fixed when it was made, so a
// collection changed during the iteration neither skips nor repeats members.
// Every enumerator keeps the server loaded while it lives.
#ifndef QVR_DISPATCH_ENUM_VARIANT_H_
#define QVR_DISPATCH_ENUM_VARIANT_H_

#include <cstdint>
#include <vector>

#include "dispatch/server_lifetime.h"
#include "dispatch/unknown.h"
#include "dispatch/unknown_impl.h"
#include "automation/variant.h"

namespace qvr {

class EnumVariant : public Unknown {
 public:
  static constexpr const Guid& kIid = IID_IEnumVARIANT;

  // Gives up to `count` members; S_FALSE when fewer were left.
  virtual HRESULT Next(uint32_t count, Variant* items, uint32_t* fetched) = 0;
  virtual HRESULT Skip(uint32_t count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(EnumVariant** copy) = 0;
};

class VariantEnumerator : public Object, public RefCounted<EnumVariant> {
 public:
  explicit VariantEnumerator(std::vector<Variant> items) : items_(std::move(items)) {}

  HRESULT Next(uint32_t count, Variant* items, uint32_t* fetched) override;
  HRESULT Skip(uint32_t count) override;
  HRESULT Reset() override;
  HRESULT Clone(EnumVariant** copy) override;

  // A new enumerator in an object Variant, as an enumerator member returns it.
  static Variant Make(std::vector<Variant> items);
  // The enumerator inside an object Variant (borrowed), or null.
  static EnumVariant* FromVariant(const Variant& v);

 private:
  server_lifetime::ObjectCount counted_;
  std::vector<Variant> items_;
  size_t next_ = 0;
};

}  // namespace qvr

#endif  // QVR_DISPATCH_ENUM_VARIANT_H_
