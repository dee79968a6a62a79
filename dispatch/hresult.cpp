#include "dispatch/hresult.h"

#include <cstdio>

namespace qvr {

std::string DescribeHResult(HRESULT hr) {
  const char* text = nullptr;
  switch (hr) {
    case S_OK: text = "success"; break;
    case S_FALSE: text = "false"; break;
    case E_NOTIMPL: text = "not implemented"; break;
    case E_NOINTERFACE: text = "no such interface"; break;
    case E_POINTER: text = "invalid pointer"; break;
    case E_FAIL: text = "unspecified failure"; break;
    case E_UNEXPECTED: text = "unexpected failure"; break;
    case E_ACCESSDENIED: text = "access denied"; break;
    case E_OUTOFMEMORY: text = "out of memory"; break;
    case E_INVALIDARG: text = "invalid argument"; break;
    case DISP_E_MEMBERNOTFOUND: text = "member not found"; break;
    case DISP_E_PARAMNOTFOUND: text = "parameter not found"; break;
    case DISP_E_TYPEMISMATCH: text = "type mismatch"; break;
    case DISP_E_UNKNOWNNAME: text = "unknown name"; break;
    case DISP_E_NONAMEDARGS: text = "no named arguments"; break;
    case DISP_E_EXCEPTION: text = "exception occurred"; break;
    case DISP_E_BADPARAMCOUNT: text = "invalid number of parameters"; break;
    case DISP_E_PARAMNOTOPTIONAL: text = "parameter not optional"; break;
    case CLASS_E_NOAGGREGATION: text = "class does not support aggregation"; break;
    case CLASS_E_CLASSNOTAVAILABLE: text = "class not available"; break;
    case CONNECT_E_NOCONNECTION: text = "no connection (or could not register the type library)"; break;
    case CONNECT_E_CANNOTCONNECT: text = "cannot connect"; break;
    case SELFREG_E_CLASS: text = "could not register the classes"; break;
    default: break;
  }
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
  return text ? std::string(buf) + " " + text : std::string(buf);
}

}  // namespace qvr
