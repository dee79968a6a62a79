#include "dispatch/dispatch.h"

namespace qvr {

Variant DispatchVariant(Dispatch* object) {
  if (!object) return Variant(std::shared_ptr<Object>());
  Object* as_object = dynamic_cast<Object*>(object);
  if (!as_object) return Variant(std::shared_ptr<Object>());
  object->AddRef();
  return Variant(std::shared_ptr<Object>(as_object, [object](Object*) { object->Release(); }));
}

Dispatch* VariantDispatch(const Variant& v) {
  if (!v.IsObject()) return nullptr;
  return dynamic_cast<Dispatch*>(v.AsObject().get());
}

}  // namespace qvr
