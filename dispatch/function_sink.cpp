#include "dispatch/function_sink.h"

#include "dispatch/connection_point.h"

namespace qvr {

HRESULT FunctionSink::GetTypeInfoCount(uint32_t* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT FunctionSink::GetTypeInfo(uint32_t, const InterfaceInfo**) { return E_NOTIMPL; }

HRESULT FunctionSink::GetIDsOfNames(const std::string*, uint32_t, DispId*) {
  return DISP_E_UNKNOWNNAME;
}

HRESULT FunctionSink::Invoke(DispId id, uint16_t, DispParams* params, Variant*, ExcepInfo*,
                             uint32_t*) {
  auto it = handlers_.find(id);
  if (it == handlers_.end()) return S_OK;
  std::vector<Variant> none;
  it->second(params ? params->args : none);
  return S_OK;
}

uint32_t ConnectEvents(Dispatch* source, const Guid& events, Unknown* sink) {
  ComPtr<ConnectionPointContainer> container;
  if (!source ||
      Failed(source->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()))) {
    return 0;
  }
  ComPtr<ConnectionPoint> point;
  if (Failed(container->FindConnectionPoint(events, point.Put()))) return 0;
  uint32_t cookie = 0;
  if (Failed(point->Advise(sink, &cookie))) return 0;
  return cookie;
}

bool DisconnectEvents(Dispatch* source, const Guid& events, uint32_t cookie) {
  ComPtr<ConnectionPointContainer> container;
  if (!source ||
      Failed(source->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()))) {
    return false;
  }
  ComPtr<ConnectionPoint> point;
  if (Failed(container->FindConnectionPoint(events, point.Put()))) return false;
  return Succeeded(point->Unadvise(cookie));
}

}  // namespace qvr
