// What every fuzz target checks of a reader's output: the limits hold, and
// each key and value the reader gives survives the .reg writer and the .reg
// reader unchanged. A broken promise throws: libFuzzer takes the uncaught
// exception for a crash and keeps the input; the regression test under tests/
// reports it as a failure.
#ifndef QVR_FUZZ_FUZZ_CHECKS_H_
#define QVR_FUZZ_FUZZ_CHECKS_H_

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "registry/registry_service.h"
#include "regfile/reg_byte_input.h"
#include "regfile/reg_file_exporter.h"
#include "regfile/reg_file_importer.h"
#include "regfile/reg_file_parser.h"
#include "regfile/reg_file_writer.h"
#include "regfile/reg_syntax.h"
#include "registry/sqlite_store.h"
#include "base/unicode.h"

namespace qvr::fuzz {

inline void Check(bool ok, const char* what) {
  if (!ok) throw std::logic_error(std::string("broken: ") + what);
}

struct Item {
  int kind;  // 0 key, 1 delete key, 2 value, 3 delete value
  std::string name;
  DWORD type = 0;
  std::string data;
  bool operator==(const Item& o) const {
    return kind == o.kind && name == o.name && type == o.type && data == o.data;
  }
};

class CollectSink : public RegSink {
 public:
  std::vector<Item> items;
  Status OpenKey(std::string_view p) override { return Add({0, std::string(p), 0, {}}); }
  Status DeleteKey(std::string_view p) override { return Add({1, std::string(p), 0, {}}); }
  Status SetValue(std::string_view n, DWORD t, std::string_view d) override {
    return Add({2, std::string(n), t, std::string(d)});
  }
  Status DeleteValue(std::string_view n) override { return Add({3, std::string(n), 0, {}}); }

 private:
  Status Add(Item item) {
    if (item.kind < 2) {
      Check(regsyntax::KeyPathProblem(item.name).empty(), "a key path past the limits");
    } else {
      Check(regsyntax::ValueNameProblem(item.name).empty(), "a value name past the limits");
      Check(item.data.size() <= regsyntax::kMaxValueData + 4, "value data past the limit");
    }
    if (items.size() < 64) items.push_back(std::move(item));
    return Status::OK();
  }
};

// Writes `item` as a one-key file and reads it back.
inline void RoundTrip(const Item& item, RegFileWriter::Dialect dialect) {
  // A key path reaches the writer only behind a hive's name.
  std::string key = item.kind < 2 ? "HKEY_USERS\\" + item.name : "HKEY_USERS\\K";
  RegFileWriter writer(dialect);
  bool written = item.kind == 1 ? writer.DeleteKey(key) : writer.Key(key);
  if (item.kind == 2) written = written && writer.Value(item.name, item.type, item.data);
  if (item.kind == 3) written = written && writer.DeleteValue(item.name);
  if (!written) return;  // a name with a line break: refused, not garbled
  writer.Finish();
  std::string bytes;
  writer.TakeOutput(&bytes);
  RegTextSource source(RegByteInput::FromMemory(bytes));
  CollectSink sink;
  RegFileParser parser;
  Status status = parser.Parse(source, sink);
  if (!status.ok()) std::fprintf(stderr, "%s\n", status.ToString().c_str());
  Check(status.ok(), "the writer's output does not read back");
  Item expected = item;
  if (item.kind < 2) expected.name = key;
  if (dialect == RegFileWriter::Dialect::kRegedit4 && item.kind == 2 &&
      regsyntax::IsTextType(item.type)) {
    // 8-bit files carry text types as text: exact only for well-formed UTF-16.
    std::string text;
    if (!regsyntax::StoredToUtf8(item.data, &text)) return;
  }
  if (item.kind >= 2) {
    Check(sink.items.size() == 2 && sink.items[0].name == key, "the key did not read back");
    Check(sink.items[1] == expected, "the value did not read back");
  } else {
    Check(sink.items.size() == 1 && sink.items[0] == expected, "the key did not read back");
  }
}

// Everything below HKEY_LOCAL_MACHINE and HKEY_USERS, as .reg text.
inline std::string Snapshot(RegistryService& service) {
  RegFileWriter writer;
  RegFileExporter exporter(service);
  for (const char* root : {"HKEY_LOCAL_MACHINE", "HKEY_USERS"}) {
    RegKeyPath key;
    std::string error;
    Check(RegKeyPath::Parse(root, &key, &error), "a hive name did not parse");
    Status status = exporter.Export(key, writer, [] { return true; });
    if (!status.ok()) std::fprintf(stderr, "%s\n", status.ToString().c_str());
    Check(status.ok(), "the registry could not be exported");
  }
  writer.Finish();
  std::string out;
  writer.TakeOutput(&out);
  return out;
}

// Imports `bytes` as a .reg file into a fresh registry in memory. A failed
// import must leave it as it was; a successful one must export to a file
// that reads back; no handle may stay open.
inline void CheckImport(std::string_view bytes) {
  std::unique_ptr<SqliteStore> memory;
  Check(SqliteStore::OpenInMemory(&memory).ok(), "no store in memory");
  std::shared_ptr<RegistryStore> store(std::move(memory));
  RegistryService service(store);
  std::string before = Snapshot(service);
  RegTextSource source(RegByteInput::FromMemory(bytes), 1 << 16);
  RegFileImporter importer(service);
  Status status = importer.Import(source);
  std::string after = Snapshot(service);
  if (!status.ok()) {
    Check(!status.message().empty(), "a failure without a message");
    Check(after == before, "a failed import changed the store");
  } else {
    RegTextSource again(RegByteInput::FromMemory(after));
    CollectSink sink;
    RegFileParser parser;
    Check(parser.Parse(again, sink).ok(), "the export of an import does not read back");
  }
  Check(service.OpenHandleCount() == 0, "the import left handles open");
}

}  // namespace qvr::fuzz

#endif  // QVR_FUZZ_FUZZ_CHECKS_H_
