#include "dispatch/enum_variant.h"

#include "dispatch/server_lifetime.h"

namespace qvr {
namespace {
// Every enumerator counts as a live server object.
void Counted(bool up) { up ? server_lifetime::ObjectCreated() : server_lifetime::ObjectEnded(); }
}  // namespace

VariantEnumerator::VariantEnumerator(std::vector<Variant> items) : items_(std::move(items)) {
  Counted(true);
}

VariantEnumerator::~VariantEnumerator() { Counted(false); }

HRESULT VariantEnumerator::QueryInterface(const Guid& iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IEnumVARIANT) {
    *object = static_cast<EnumVariant*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

uint32_t VariantEnumerator::AddRef() { return ++refs_; }

uint32_t VariantEnumerator::Release() {
  uint32_t n = --refs_;
  if (n == 0) delete this;
  return n;
}

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
