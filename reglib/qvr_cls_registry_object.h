// qvrClsRegistryObject: the library's entry point to the registry.
//
// A client opens a key and receives a handle, passes that handle to the value,
// enumeration and delete operations, and closes it again. The object keeps a
// table of the handles it opened, so that a client can find a handle again by
// a name of its own choosing (the index key), and so that every key still open
// is closed when the object ends. Pointed at the hives of another machine
// (RegHKeyLocalMachine, RegHKeyUsers), it opens keys below those hives there.
//
// Registry failures are results, never errors: OpenKey gives -1, SetValue the
// service's code, GetValue Empty or the caller's default. The one error the
// object raises is AutomationError 10029 (see EnumKeys).
//
// Example:
//   auto reg = qvrClsRegistryObject::Create();
//   HKEY h = reg->OpenKey(HKeyCurrentUser, "Software\\Acme", false, "acme");
//   reg->SetValue(h, "Count", Variant(int32_t{300}));      // REG_DWORD 300
//   Variant v = reg->GetValue(h, "Missing", Variant("x"));  // writes "x"
//   reg->CloseKey(Variant("acme"));
//
// The object lives on its creator's thread; it has no locks.
#ifndef QVR_REGLIB_QVR_CLS_REGISTRY_OBJECT_H_
#define QVR_REGLIB_QVR_CLS_REGISTRY_OBJECT_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/keyed_list.h"
#include "automation/sink_list.h"
#include "registry/registry_api.h"
#include "automation/variant.h"
#include "reglib/qvr_cls_registry_object_events.h"
#include "reglib/registry_data_types.h"
#include "reglib/standard_registry_keys.h"

namespace qvr {

class qvrClsKey;
class qvrClsKeys;
class qvrClsValues;

class qvrClsRegistryObject : public Object,
                             public std::enable_shared_from_this<qvrClsRegistryObject> {
  struct Token {
    explicit Token() = default;
  };

 public:
  // The number, source and description of the one error the object raises.
  static constexpr int32_t kErrSuppressEventsAndReturnNothing = 10029;
  static constexpr const char* kErrorSource = "RegLib.qvrClsRegistryObject";
  static constexpr const char* kErrSuppressEventsAndReturnNothingText =
      "Cannot suppress events and return nothing.";

  // A new object: an empty handle table, both remote hive handles 0, no
  // abort pending.
  static std::shared_ptr<qvrClsRegistryObject> Create();

  explicit qvrClsRegistryObject(Token);
  qvrClsRegistryObject(const qvrClsRegistryObject&) = delete;
  qvrClsRegistryObject& operator=(const qvrClsRegistryObject&) = delete;

  // Closes every handle this object still holds (in the order they were
  // opened, each one once, failures ignored). The remote hive handles are the
  // host's and are not closed.
  ~qvrClsRegistryObject() override;

  // ---- Members, in the order of the automation interface ----

  // Asks a running EnumKeys or EnumValues to stop. The enumeration looks at
  // the request after the item it is handling and the fetch of the next one,
  // so it always reports its first item. The default entry that EnumValues
  // reports before its items is not one of them: a request made from its
  // event still lets the first named value through. A request made while no
  // enumeration runs is dropped, and every enumeration clears a request it
  // did not act on when it ends: a stale request never cuts a later listing
  // short.
  void AbortEnum();

  // Number of entries in the handle table.
  int32_t Count() const;

  // The object keeps no machine name: reading gives "", writing changes
  // nothing. (Remote access goes through RegHKeyLocalMachine/RegHKeyUsers.)
  std::string MachineName() const;
  void MachineName(std::string_view szMachineName);

  // The handle stored under an index key (a String, compared without regard to
  // case) or at a position from 1 (a number); -1 when there is no such entry.
  HKEY item(const Variant& vntIndexKey) const;
  // Replaces the handle stored under an index key or position; no effect when
  // there is no such entry. The handle it held stays this object's and is
  // still closed when the object ends.
  void item(const Variant& vntIndexKey, HKEY lRegHKey);

  // Opens the key `szSubKey` below `uKey` (a predefined hive or an open
  // handle; "" opens `uKey` itself anew) and returns a new handle, or -1. When
  // `fMustExist` is false a missing key (and any missing parent) is created;
  // when true nothing is ever created. HKeyLocalMachine and HKeyUsers are
  // replaced by RegHKeyLocalMachine/RegHKeyUsers when those are non-zero.
  //
  // The handle is asked for read and write access, and for read access alone
  // where the store refuses writes. It is stored in the handle table under
  // `vntIndexKey`, or, when that is "", under its handle name ("_H" plus the
  // handle in upper-case hexadecimal, e.g. "_H1A4", "_H80000000"). When the
  // index key is already in use the earlier entry stays and the new handle is
  // kept outside the table, still to be closed when the object ends.
  HKEY OpenKey(HKEY uKey, std::string_view szSubKey, bool fMustExist = false,
               std::string_view vntIndexKey = "");

  // Closes a key given by its handle (a Long) or by its index key (a String),
  // and forgets its table entry. Any other kind of value (an Integer, a
  // Double, Empty...) closes nothing. Failures are ignored.
  void CloseKey(const Variant& uKey);

  // Reads the value `szValue` ("" is the key's default value) of the key
  // `uKey` and converts it by its registry type:
  //   REG_SZ           the text (one terminating NUL dropped, where present)
  //   REG_EXPAND_SZ    the text with %NAME% references expanded from the
  //                    environment of the machine `uKey` belongs to, as
  //                    Windows builds it from that registry (this machine's
  //                    and the user's variables, or another machine's own;
  //                    see ExpandEnvironmentStringsForKeyA), never from this
  //                    process's; the text as stored when that cannot be read
  //   REG_BINARY       "XX " per byte: two upper-case hex digits and a space
  //   REG_DWORD        a Long (shorter data zero-extended, longer data: its
  //                    first four bytes)
  //   REG_MULTI_SZ     the first string of the list
  //   any other type   the data bytes, one character per byte
  // A value that is absent or has no data gives Empty; when `DefaultValue` is
  // given it is written instead (SetValue) and returned. `lpType` receives the
  // registry type when there is data, and is left alone otherwise.
  Variant GetValue(HKEY uKey, std::string_view szValue,
                   const std::optional<Variant>& DefaultValue = std::nullopt,
                   RegistryDataTypes* lpType = nullptr);

  // Splits a multi-string text at every NUL: k NULs give k + 1 Strings (an
  // array of String, lower bound 0). "" gives one empty element.
  Variant GetMultiSZ(std::string_view vData);

  // Each element of an array of String followed by a NUL, then one more NUL.
  // Raises 13 (type mismatch) for anything but an array of String.
  std::string ToMultiSZ(const Variant& vData);

  // Writes `vData` as the value `szValue`, choosing the registry type from the
  // kind of host value (first matching row):
  //   an object                      nothing is written
  //   omitted (nullopt)              the value is deleted
  //   array of String                REG_MULTI_SZ of its ToMultiSZ text
  //   String                         REG_SZ: the text and one NUL
  //   Byte; Integer/Long in 0..255   REG_BINARY, one byte
  //   other Integer/Long             REG_DWORD, signed 32-bit
  //   Boolean                        REG_BINARY, one byte: 1 or 0
  //   Single, Double, Currency,      REG_SZ of the general text form, in the
  //   Date, Decimal                  user's locale
  //   anything else                  nothing is written
  // Returns the service's result code of the write; 0 when nothing was
  // written or the value was deleted.
  LONG SetValue(HKEY uKey, std::string_view szValue,
                const std::optional<Variant>& vData = std::nullopt);

  // A qvrClsKey for the open handle `uKey` (no name, no parent); with
  // `fEnumValues` its Values hold EnumValues(uKey).
  std::shared_ptr<qvrClsKey> GetKeyObject(HKEY uKey, bool fEnumValues = false);

  // Lists the sub-keys of `uKey` in the service's order. With `fRaiseEvents`
  // each one is reported through KeyEnumerated (with whether it has sub-keys
  // of its own) as soon as it is found; with `fDoEvents` the host's hook (see
  // SetDoEventsHook) runs once per item. Returns the sub-keys as a collection,
  // or nullptr with `fReturnNothing`, and nullptr too when the key has no
  // sub-keys or cannot be listed. The listing ends at the last sub-key, on
  // AbortEnum, or on any failure of the service (a key deleted meanwhile, a
  // closed handle); what was found so far is returned.
  //
  // Events off and nothing returned is refused: AutomationError 10029,
  // "Cannot suppress events and return nothing.".
  std::shared_ptr<qvrClsKeys> EnumKeys(HKEY uKey, bool fRaiseEvents = false, bool fDoEvents = false,
                                       bool fReturnNothing = false);

  // Lists the values of `uKey`: first always the key's default value (under
  // the collection key "(default)", DataType REG_SZ when it is not set), then
  // every named value in the service's order, each one already holding its
  // data. Options, events (ValueEnumerated), ending and error 10029 as for
  // EnumKeys. A value literally named "(default)" is listed as "(default)*"
  // ("(default)**" when a value of that name was listed before it), but reads
  // and writes the real value.
  std::shared_ptr<qvrClsValues> EnumValues(HKEY uKey, bool fRaiseEvents = false,
                                           bool fDoEvents = false, bool fReturnNothing = false);

  // Deletes the value `szValue` of `uKey`. Returns the service's result code.
  LONG DeleteValue(HKEY uKey, std::string_view szValue);

  // Deletes the key `szSubKey` below `uKey` with one service call; a key that
  // has sub-keys is not deleted. Returns the service's result code.
  LONG DeleteKey(HKEY uKey, std::string_view szSubKey);

  // Handles of another machine's HKEY_LOCAL_MACHINE and HKEY_USERS, used by
  // OpenKey in place of the local hives; 0 means the local one. Stored as
  // given.
  HKEY RegHKeyLocalMachine() const { return remote_local_machine_; }
  void RegHKeyLocalMachine(HKEY lRegHKey) { remote_local_machine_ = lRegHKey; }
  HKEY RegHKeyUsers() const { return remote_users_; }
  void RegHKeyUsers(HKEY lRegHKey) { remote_users_ = lRegHKey; }

  // ---- Event connections ----

  // Connects a sink to the events; returns its cookie (never 0). The object
  // does not keep the sink alive: a sink that has ended is skipped and
  // dropped. (So a host that owns this object may be its own sink.) One sink
  // may be connected several times; it then hears every event once per
  // connection. Sinks hear each event in the order they were connected; a
  // sink connected from inside an event hears from the next event on.
  uint32_t Advise(const std::shared_ptr<qvrClsRegistryObjectEvents>& sink);

  // Undoes the connection with that cookie; unknown cookies are ignored. Safe
  // from inside an event: a sink disconnected during a delivery hears no more
  // events, from that delivery on.
  void Unadvise(uint32_t cookie);

  // The host's message pump, run once per item by enumerations given
  // `fDoEvents`. The default does nothing.
  void SetDoEventsHook(std::function<void()> hook);

 private:
  // Counts running enumerations, so a nested one and AbortEnum agree.
  class EnumScope;

  static std::string HandleName(HKEY handle);
  HKEY ParentFor(HKEY uKey) const;
  void Remember(HKEY handle, std::string_view index_key);
  void Forget(HKEY handle);
  bool HasChildren(HKEY parent, const std::string& name);
  bool TakeAbort();
  void RunDoEventsHook();
  std::shared_ptr<qvrClsValue> ReportDefaultValue(HKEY uKey,
                                                  const std::shared_ptr<qvrClsValues>& values,
                                                  bool fRaiseEvents);

  KeyedList<HKEY> handles_;
  // Handles this object opened that could not be filed under their index key.
  std::vector<HKEY> unfiled_;
  HKEY remote_local_machine_ = 0;
  HKEY remote_users_ = 0;
  bool abort_requested_ = false;
  int running_enumerations_ = 0;

  SinkList<qvrClsRegistryObjectEvents> sinks_;
  std::function<void()> do_events_;
};

}  // namespace qvr

#endif  // QVR_REGLIB_QVR_CLS_REGISTRY_OBJECT_H_
