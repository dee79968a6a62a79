#include "dispatch/enum_variant.h"

namespace qvr {

HRESULT VariantEnumerator::Next(uint32_t count, Variant* items, uint32_t* fetched) {
  if (count > 0 && !items) return E_POINTER;
  uint32_t n = 0;
  while (n < count && next_ < items_.size()) items[n++] = items_[next_++];
  if (fetched) *fetched = n;
  return n == count ? S_OK : S_FALSE;
}

HRESULT VariantEnumerator::Skip(uint32_t count) {
  size_t left = items_.size() - next_;
  next_ += count < left ? count : left;
  return count <= left ? S_OK : S_FALSE;
}

HRESULT VariantEnumerator::Reset() {
  next_ = 0;
  return S_OK;
}

HRESULT VariantEnumerator::Clone(EnumVariant** copy) {
  if (!copy) return E_POINTER;
  auto* e = new VariantEnumerator(items_);
  e->next_ = next_;
  e->AddRef();
  *copy = e;
  return S_OK;
}

Variant VariantEnumerator::Make(std::vector<Variant> items) {
  auto* e = new VariantEnumerator(std::move(items));
  e->AddRef();
  return Variant(std::shared_ptr<Object>(static_cast<Object*>(e), [e](Object*) { e->Release(); }));
}

EnumVariant* VariantEnumerator::FromVariant(const Variant& v) {
  if (!v.IsObject()) return nullptr;
  return dynamic_cast<EnumVariant*>(v.AsObject().get());
}

}  // namespace qvr
