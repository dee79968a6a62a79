// Imports arbitrary bytes as a .reg file into a fresh registry in memory:
// the reader, the importer, the registry service and the store together.
// A failed import must leave the store as it was; a successful one must
// export to a file that reads back.
#include <cstddef>
#include <cstdint>

#include "fuzz_checks.h"
#include "platform/registry_service.h"
#include "platform/regfile/reg_file_exporter.h"
#include "platform/regfile/reg_file_importer.h"
#include "platform/sqlite_store.h"

namespace {

// Everything below HKEY_LOCAL_MACHINE and HKEY_USERS, as .reg text.
std::string Snapshot(qvr::RegistryService& service) {
  qvr::RegFileWriter writer;
  qvr::RegFileExporter exporter(service);
  for (const char* root : {"HKEY_LOCAL_MACHINE", "HKEY_USERS"}) {
    qvr::RegKeyPath key;
    std::string error;
    qvr::fuzz::Check(qvr::RegKeyPath::Parse(root, &key, &error), "a hive name did not parse");
    qvr::RegStatus status = exporter.Export(key, writer, [] { return true; });
    // A name with a line break cannot be exported; the reader never makes one.
    qvr::fuzz::Check(status.ok(), "the registry could not be exported");
  }
  writer.Finish();
  std::string out;
  writer.TakeOutput(&out);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qvr;
  std::string error;
  std::shared_ptr<RegistryStore> store(SqliteStore::OpenInMemory(&error));
  fuzz::Check(store != nullptr, "no store in memory");
  RegistryService service(store);
  std::string before = Snapshot(service);
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  RegTextSource source(RegByteInput::FromMemory(bytes), 1 << 16);
  RegFileImporter importer(service);
  RegStatus status = importer.Import(source);
  std::string after = Snapshot(service);
  if (!status.ok()) {
    fuzz::Check(!status.message().empty(), "a failure without a message");
    fuzz::Check(after == before, "a failed import changed the store");
  } else {
    RegTextSource again(RegByteInput::FromMemory(after));
    fuzz::CollectSink sink;
    RegFileParser parser;
    fuzz::Check(parser.Parse(again, sink).ok(), "the export of an import does not read back");
  }
  fuzz::Check(service.OpenHandleCount() == 0, "the import left handles open");
  return 0;
}
