// Feeds arbitrary bytes to the Wine registry reader, then writes what it read
// as a .reg file and reads that back: Wine's escapes reach any UTF-16 unit,
// so this also drives the writer with data the .reg reader never produces.
#include <cstddef>
#include <cstdint>

#include "fuzz_checks.h"
#include "regfile/reg_byte_input.h"
#include "regfile/reg_text_source.h"
#include "regfile/wine_reg_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qvr;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  RegTextSource source(RegByteInput::FromMemory(bytes), 1 << 16);
  fuzz::CollectSink sink;
  WineRegParser parser;
  Status status = parser.Parse(source, sink);
  fuzz::Check(status.ok() || !status.message().empty(), "a failure without a message");
  for (const fuzz::Item& item : sink.items) {
    fuzz::Check(item.kind == 0 || item.kind == 2, "a Wine file deleted something");
    fuzz::RoundTrip(item, RegFileWriter::Dialect::kRegedit5);
  }
  return 0;
}
