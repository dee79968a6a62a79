// Feeds arbitrary bytes to the .reg reader, then writes what it read back
// through the writer in both dialects and reads that again.
#include <cstddef>
#include <cstdint>

#include "fuzz_checks.h"
#include "regfile/reg_byte_input.h"
#include "regfile/reg_text_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qvr;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  RegTextSource source(RegByteInput::FromMemory(bytes), 1 << 16);
  fuzz::CollectSink sink;
  RegFileParser parser;
  Status status = parser.Parse(source, sink);
  fuzz::Check(status.ok() || !status.message().empty(), "a failure without a message");
  for (const fuzz::Item& item : sink.items) {
    fuzz::RoundTrip(item, RegFileWriter::Dialect::kRegedit5);
    fuzz::RoundTrip(item, RegFileWriter::Dialect::kRegedit4);
  }
  return 0;
}
