// The generic late-bound machinery on a small class of its own: the refusals,
// failure codes and connection-point corners that the real classes (tests in
// tests/server) never reach.
#include <gtest/gtest.h>

#include "automation/automation_error.h"
#include "dispatch/connection_point.h"
#include "dispatch/dispatch_object.h"
#include "dispatch/enum_variant.h"
#include "dispatch/function_sink.h"
#include "dispatch/late_bound.h"
#include "dispatch/server_lifetime.h"
#include "support/raised.h"

namespace qvr {
namespace {

constexpr Guid kCounterIid = Guid::Literal("{A976C6FA-D55D-4D5D-843E-8A55914018F7}");
constexpr Guid kCounterEvents = Guid::Literal("{11111111-2222-3333-4444-555555555555}");

class Counter : public Object {
 public:
  int32_t value = 0;
};

struct Fixture {
  TypeLibrary lib{Guid::Literal("{00000000-1111-2222-3333-444444444444}"), "Toy", "toy", 2, 5};
  InterfaceInfo& iface = lib.AddInterface(kCounterIid, "_Counter");
  DispatchTable table{iface};
  InterfaceInfo& events = lib.AddInterface(kCounterEvents, "__Counter", true);

  Fixture() {
    InterfaceBuilder<Counter> b(table);
    b.Get("Value", "Long", {}, [](Counter& c, Arguments&) { return Variant(c.value); },
          kDefaultMember);
    b.Put("Value", "Long", {Param("v", "Long")}, [](Counter& c, Arguments& a) {
      c.value = a.Long(0);
      return Variant();
    });
    b.Method("Add", "Long", {Param("n", "Long"), OptParam("times", "Long", Variant(int32_t{1})),
                             OptParam("label", "String")},
             [](Counter& c, Arguments& a) {
               c.value += a.Long(0) * a.Long(1);
               return Variant(c.value);
             });
    b.Method("Crash", "", {}, [](Counter&, Arguments&) -> Variant {
      throw std::runtime_error("not an automation error");
    });
    b.Get("NewEnum", "IUnknown", {}, [](Counter& c, Arguments&) {
      return VariantEnumerator::Make({Variant(c.value), Variant(c.value + 1)});
    }, kEnumeratorMember);
    MemberInfo changed;
    changed.id = 1;
    changed.name = "Changed";
    changed.params = {Param("NewValue", "Long")};
    DispatchTable(events).AddDescription(changed);
  }
};

TEST(DispatchObjectTest, RefusalsAndFailureCodes) {
  Fixture f;
  auto native = std::make_shared<Counter>();
  ComPtr<Dispatch> d(new DispatchObject(native, f.table));
  LateBound c(d);

  // Names without regard to case; parameter names give positions; an unknown
  // name is reported and the others still resolved.
  std::string names[] = {"add", "LABEL", "n", "nope"};
  DispId ids[4];
  EXPECT_EQ(d->GetIDsOfNames(names, 4, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(std::vector<DispId>(ids, ids + 4), (std::vector<DispId>{1, 2, 0, DISPID_UNKNOWN}));
  // A property read is also reachable as a method call.
  c.Put("Value", Variant(int32_t{41}));
  EXPECT_EQ(c.Call("Value").ToLong(), 41);

  // Failures; the last: a method cannot be written.
  struct Refused {
    DispId id;
    uint16_t flags;
    DispParams params;
    HRESULT result;
  } refused[] = {
      {1, DISPATCH_METHOD, {}, DISP_E_PARAMNOTOPTIONAL},
      {1, DISPATCH_METHOD, {{Variant(int32_t{1}), Variant(int32_t{1}), Variant("a"), Variant("b")}, {}},
       DISP_E_BADPARAMCOUNT},
      {1, DISPATCH_METHOD, {{Variant(int32_t{1})}, {9}}, DISP_E_PARAMNOTFOUND},
      {77, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND},
      {1, DISPATCH_PROPERTYPUT, {{Variant(int32_t{1})}, {DISPID_PROPERTYPUT}}, DISP_E_MEMBERNOTFOUND},
  };
  for (Refused& r : refused) {
    EXPECT_EQ(d->Invoke(r.id, r.flags, &r.params, nullptr, nullptr, nullptr), r.result) << r.id;
  }
  // A failure that is not an automation error stays inside the object as
  // "Automation error" 440 (automation errors come out whole: tests/server).
  DispParams none;
  ExcepInfo crash;
  EXPECT_EQ(d->Invoke(c.IdOf("Crash"), DISPATCH_METHOD, &none, nullptr, &crash, nullptr),
            DISP_E_EXCEPTION);
  EXPECT_EQ(std::to_string(crash.number) + "|" + crash.description, "440|not an automation error");
  EXPECT_EQ(testing::ErrorNumberOf([&] { c.Call("Add", {Variant("not a number")}); }), 13);
  EXPECT_EQ(testing::ErrorNumberOf([&] { c.Call("Nope"); }), 438);
  const InterfaceInfo* info = nullptr;
  EXPECT_EQ(d->GetTypeInfo(1, &info), DISP_E_BADINDEX);
  // No events: no connection point container.
  EXPECT_FALSE(d.As<ConnectionPointContainer>(IID_IConnectionPointContainer));

  // The enumerator's partial fetch, Reset and Skip.
  native->value = 7;
  Variant en = c.Get("NewEnum");
  EnumVariant* e = VariantEnumerator::FromVariant(en);
  ASSERT_NE(e, nullptr);
  Variant items[3];
  uint32_t fetched = 0;
  EXPECT_EQ(e->Next(3, items, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 2u);
  EXPECT_EQ(items[1].ToLong(), 8);
  EXPECT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Skip(2), S_OK);
  EXPECT_EQ(e->Skip(1), S_FALSE);

  // An unbalanced unlock must not hide a later lock.
  server_lifetime::Unlock();
  server_lifetime::Lock();
  EXPECT_EQ(server_lifetime::Locks(), 1);
  server_lifetime::Unlock();
}

TEST(DispatchObjectTest, ConnectionPointCorners) {
  Fixture f;
  auto* object = new DispatchObject(std::make_shared<Counter>(), f.table, &f.events);
  ComPtr<Dispatch> d(object);
  std::vector<int32_t> heard_a, heard_b;
  uint32_t cookie_b = 0;
  ComPtr<FunctionSink> a(new FunctionSink());
  ComPtr<FunctionSink> b(new FunctionSink());
  a->On(1, [&](std::vector<Variant>& args) {
    heard_a.push_back(args.at(0).ToLong());
    // Disconnecting another sink during a delivery stops it at once.
    DisconnectEvents(d.Get(), kCounterEvents, cookie_b);
  });
  b->On(1, [&](std::vector<Variant>& args) { heard_b.push_back(args.at(0).ToLong()); });
  uint32_t cookie_a = ConnectEvents(d.Get(), kCounterEvents, a.Get());
  cookie_b = ConnectEvents(d.Get(), kCounterEvents, b.Get());
  ASSERT_NE(cookie_b, 0u);
  EXPECT_NE(cookie_a, cookie_b);
  EXPECT_EQ(ConnectEvents(d.Get(), kCounterIid, a.Get()), 0u);  // not an event interface

  std::vector<Variant> args{Variant(int32_t{3})};
  object->FireEvent(1, args);
  object->FireEvent(1, args);
  EXPECT_EQ(heard_a, (std::vector<int32_t>{3, 3}));
  EXPECT_TRUE(heard_b.empty());
  EXPECT_TRUE(DisconnectEvents(d.Get(), kCounterEvents, cookie_a));
  EXPECT_FALSE(DisconnectEvents(d.Get(), kCounterEvents, cookie_a));

  // A sink that is not a Dispatch cannot connect.
  ComPtr<ConnectionPointContainer> cpc = d.As<ConnectionPointContainer>(IID_IConnectionPointContainer);
  ComPtr<ConnectionPoint> point;
  ASSERT_EQ(cpc->FindConnectionPoint(kCounterEvents, point.Put()), S_OK);
  ComPtr<EnumVariant> not_a_sink(new VariantEnumerator({}));
  uint32_t cookie = 0;
  EXPECT_EQ(point->Advise(not_a_sink.Get(), &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(point->Unadvise(12345), CONNECT_E_NOCONNECTION);
}

TEST(GuidTest, ParsesAndFormats) {
  constexpr Guid g = Guid::Literal("{4eb19a2e-5969-4D06-8ED3-8C101EC07275}");
  EXPECT_EQ(g.ToString(), "{4EB19A2E-5969-4D06-8ED3-8C101EC07275}");
  EXPECT_EQ(Guid::Parse("4EB19A2E-5969-4D06-8ED3-8C101EC07275"), g);
  for (const char* bad : {"{4EB19A2E-5969-4D06-8ED3-8C101EC0727}",
                          "{4EB19A2E-5969-4D06-8ED38C101EC07275X}",
                          "{4EB19A2E-5969-4D06-8ED3-8C101EC0727G}"}) {
    EXPECT_FALSE(Guid::Parse(bad)) << bad;
  }
  EXPECT_TRUE(Guid{}.IsNull());
}

TEST(TypeLibraryTest, DescribesMembersAndWritesJson) {
  Fixture f;
  f.lib.AddEnum("Colours", {{"Red", 1}, {"Blue", -2}});
  ClassInfo cls;
  cls.clsid = Guid::Literal("{12345678-1234-1234-1234-123456789ABC}");
  cls.name = "Counter";
  cls.default_interface = &f.iface;
  cls.events = &f.events;
  cls.creatable = true;
  f.lib.AddClass(cls);

  EXPECT_EQ(f.lib.VersionText(), "2.5");
  EXPECT_EQ(f.lib.VersionedProgId(f.lib.Classes()[0]), "Toy.Counter.2");
  EXPECT_EQ(f.lib.FindConstant("blue"), -2);
  EXPECT_FALSE(f.lib.FindConstant("Green"));
  EXPECT_EQ(f.lib.FindClass("COUNTER"), &f.lib.Classes()[0]);

  // Slots in order; a property's read and write share the id.
  const auto& m = f.iface.members;
  ASSERT_EQ(m.size(), 5u);
  EXPECT_EQ(m[1].slot, 1);
  EXPECT_EQ(m[0].id, m[1].id);
  EXPECT_EQ(m[1].kind, DISPATCH_PROPERTYPUT);
  EXPECT_EQ(f.iface.Find(DISPID_VALUE, DISPATCH_METHOD), &m[0]);
  EXPECT_EQ(f.iface.Find(DISPID_VALUE, DISPATCH_PROPERTYPUT), &m[1]);

  // (The real library's text is read back by the Python test.)
  const std::string json = f.lib.ToJson();
  EXPECT_NE(json.find("\"kind\": \"propput\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"default\": 1"), std::string::npos) << json;
}

}  // namespace
}  // namespace qvr
