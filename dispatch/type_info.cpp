#include "dispatch/type_info.h"

#include <cmath>
#include <cstdio>
#include <fstream>

#include "base/unicode.h"

namespace qvr {

const MemberInfo* InterfaceInfo::Find(DispId id, uint16_t flags) const {
  const MemberInfo* fallback = nullptr;
  for (const auto& m : members) {
    if (m.id != id) continue;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
      if (m.kind == DISPATCH_PROPERTYPUT) return &m;
      continue;
    }
    if ((flags & DISPATCH_METHOD) && m.kind == DISPATCH_METHOD) return &m;
    if (m.kind == DISPATCH_PROPERTYGET) {
      if (flags & DISPATCH_PROPERTYGET) return &m;
      if (flags & DISPATCH_METHOD) fallback = &m;
    }
  }
  return fallback;
}

const MemberInfo* InterfaceInfo::Find(DispId id) const {
  const MemberInfo* any = nullptr;
  for (const auto& m : members) {
    if (m.id != id) continue;
    if (m.kind != DISPATCH_PROPERTYPUT) return &m;
    if (!any) any = &m;
  }
  return any;
}

DispId InterfaceInfo::IdOfName(std::string_view name) const {
  for (const auto& m : members) {
    if (EqualsNoCase(m.name, name)) return m.id;
  }
  return DISPID_UNKNOWN;
}

int32_t InterfaceInfo::ParamIndex(DispId id, std::string_view param) const {
  for (const auto& m : members) {
    if (m.id != id) continue;
    for (size_t i = 0; i < m.params.size(); ++i) {
      if (EqualsNoCase(m.params[i].name, param)) return static_cast<int32_t>(i);
    }
  }
  return -1;
}

TypeLibrary::TypeLibrary(Guid libid, std::string name, std::string description, uint16_t major,
                         uint16_t minor)
    : libid_(libid),
      name_(std::move(name)),
      description_(std::move(description)),
      major_(major),
      minor_(minor) {}

std::string TypeLibrary::VersionText() const {
  return std::to_string(major_) + "." + std::to_string(minor_);
}

InterfaceInfo& TypeLibrary::AddInterface(Guid iid, std::string name, bool source) {
  InterfaceInfo& info = interfaces_.emplace_back();
  info.iid = iid;
  info.name = std::move(name);
  info.source = source;
  return info;
}

ClassInfo& TypeLibrary::AddClass(ClassInfo info) { return classes_.emplace_back(std::move(info)); }

EnumInfo& TypeLibrary::AddEnum(std::string name,
                               std::vector<std::pair<std::string, int32_t>> values) {
  return enums_.emplace_back(EnumInfo{std::move(name), std::move(values)});
}

const InterfaceInfo* TypeLibrary::FindInterface(const Guid& iid) const {
  for (const auto& i : interfaces_) {
    if (i.iid == iid) return &i;
  }
  return nullptr;
}

const InterfaceInfo* TypeLibrary::FindInterface(std::string_view name) const {
  for (const auto& i : interfaces_) {
    if (EqualsNoCase(i.name, name)) return &i;
  }
  return nullptr;
}

const ClassInfo* TypeLibrary::FindClass(const Guid& clsid) const {
  for (const auto& c : classes_) {
    if (c.clsid == clsid) return &c;
  }
  return nullptr;
}

const ClassInfo* TypeLibrary::FindClass(std::string_view name) const {
  for (const auto& c : classes_) {
    if (EqualsNoCase(c.name, name)) return &c;
  }
  return nullptr;
}

std::optional<int32_t> TypeLibrary::FindConstant(std::string_view name) const {
  for (const auto& e : enums_) {
    for (const auto& [n, v] : e.values) {
      if (EqualsNoCase(n, name)) return v;
    }
  }
  return std::nullopt;
}

std::string TypeLibrary::ProgId(const ClassInfo& c) const { return name_ + "." + c.name; }

std::string TypeLibrary::VersionedProgId(const ClassInfo& c) const {
  return ProgId(c) + "." + std::to_string(major_);
}

namespace {

// A small writer of indented JSON; keys and texts are escaped as JSON needs.
class JsonWriter {
 public:
  std::string Take() { return std::move(out_); }

  void Open(char bracket) {
    Value();
    out_ += bracket;
    stack_.push_back(true);
  }
  void Close(char bracket) {
    bool empty = stack_.back();
    stack_.pop_back();
    if (!empty) NewLine();
    out_ += bracket;
  }
  void Key(std::string_view key) {
    Separate();
    Quote(key);
    out_ += ": ";
    after_key_ = true;
  }
  void String(std::string_view text) {
    Value();
    Quote(text);
  }
  void Quote(std::string_view text) {
    out_ += '"';
    for (unsigned char c : text) {
      switch (c) {
        case '"': out_ += "\\\""; break;
        case '\\': out_ += "\\\\"; break;
        case '\n': out_ += "\\n"; break;
        case '\r': out_ += "\\r"; break;
        case '\t': out_ += "\\t"; break;
        default:
          if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out_ += buf;
          } else {
            out_ += static_cast<char>(c);
          }
      }
    }
    out_ += '"';
  }
  void Raw(std::string_view text) {
    Value();
    out_ += text;
  }
  void Bool(bool b) { Raw(b ? "true" : "false"); }
  void Int(int64_t v) { Raw(std::to_string(v)); }
  void Number(double v) {
    if (!std::isfinite(v)) return Raw("null");
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    Raw(buf);
  }
  void Field(std::string_view key, std::string_view text) {
    Key(key);
    String(text);
  }
  void Field(std::string_view key, bool b) {
    Key(key);
    Bool(b);
  }
  void FieldInt(std::string_view key, int64_t v) {
    Key(key);
    Int(v);
  }

 private:
  void Value() {
    if (after_key_) {
      after_key_ = false;
      return;
    }
    if (!stack_.empty()) Separate();
  }
  void Separate() {
    if (!stack_.back()) out_ += ',';
    stack_.back() = false;
    NewLine();
  }
  void NewLine() {
    out_ += '\n';
    out_.append(stack_.size() * 2, ' ');
  }

  std::string out_;
  std::vector<bool> stack_;  // per open bracket: nothing written in it yet
  bool after_key_ = false;
};

std::string_view KindName(InvokeKind kind) {
  switch (kind) {
    case DISPATCH_METHOD: return "method";
    case DISPATCH_PROPERTYGET: return "propget";
    case DISPATCH_PROPERTYPUT: return "propput";
    case DISPATCH_PROPERTYPUTREF: return "propputref";
  }
  return "method";
}

void WriteVariant(JsonWriter& w, const Variant& v) {
  switch (v.Type()) {
    case vbEmpty: w.Raw("null"); break;
    case vbBoolean: w.Bool(*v.Get<bool>()); break;
    case vbString: w.String(v.AsString()); break;
    case vbInteger:
    case vbLong:
    case vbByte: w.Int(v.ToLong()); break;
    case vbSingle:
    case vbDouble: w.Number(v.ToDouble()); break;
    default: w.String(v.TextForm().value_or("")); break;
  }
}

void WriteMember(JsonWriter& w, const MemberInfo& m) {
  w.Open('{');
  w.FieldInt("slot", m.slot);
  w.Field("name", m.name);
  w.FieldInt("dispid", m.id);
  w.Field("kind", KindName(m.kind));
  w.Key("type");
  if (m.type.empty()) w.Raw("null"); else w.String(m.type);
  w.Field("default", m.is_default);
  w.Field("hidden", m.hidden);
  w.Key("params");
  w.Open('[');
  for (const auto& p : m.params) {
    w.Open('{');
    w.Field("name", p.name);
    w.Field("type", p.type);
    w.Field("optional", p.optional);
    w.Field("byref", p.by_ref);
    if (p.default_value) {
      w.Key("default");
      WriteVariant(w, *p.default_value);
    }
    w.Close('}');
  }
  w.Close(']');
  w.Close('}');
}

}  // namespace

std::string TypeLibrary::ToJson() const {
  JsonWriter w;
  w.Open('{');
  w.Field("name", name_);
  w.Field("libid", libid_.ToString());
  w.Field("version", VersionText());
  w.Field("description", description_);
  w.Key("enums");
  w.Open('[');
  for (const auto& e : enums_) {
    w.Open('{');
    w.Field("name", e.name);
    w.Key("values");
    w.Open('[');
    for (const auto& [n, v] : e.values) {
      w.Open('{');
      w.Field("name", n);
      w.FieldInt("value", v);
      w.Close('}');
    }
    w.Close(']');
    w.Close('}');
  }
  w.Close(']');
  w.Key("interfaces");
  w.Open('[');
  for (const auto& i : interfaces_) {
    w.Open('{');
    w.Field("name", i.name);
    w.Field("iid", i.iid.ToString());
    w.Field("source", i.source);
    w.Key("members");
    w.Open('[');
    for (const auto& m : i.members) WriteMember(w, m);
    w.Close(']');
    w.Close('}');
  }
  w.Close(']');
  w.Key("classes");
  w.Open('[');
  for (const auto& c : classes_) {
    w.Open('{');
    w.Field("name", c.name);
    w.Field("clsid", c.clsid.ToString());
    w.Field("description", c.description);
    w.Key("progid");
    if (c.creatable) w.String(ProgId(c)); else w.Raw("null");
    w.Key("interface");
    if (c.default_interface) w.String(c.default_interface->name); else w.Raw("null");
    w.Key("events");
    if (c.events) w.String(c.events->name); else w.Raw("null");
    w.Field("creatable", c.creatable);
    w.Field("appobject", c.app_object);
    w.Field("predeclared", c.predeclared);
    w.Field("control", c.control);
    w.Close('}');
  }
  w.Close(']');
  w.Close('}');
  std::string out = w.Take();
  out += '\n';
  return out;
}

bool TypeLibrary::WriteJson(const std::string& path, std::string* error) const {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  if (!f) {
    if (error) *error = "cannot create " + path;
    return false;
  }
  f << ToJson();
  f.close();
  if (!f) {
    if (error) *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace qvr
