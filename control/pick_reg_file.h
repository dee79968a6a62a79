// The pick of a ctlRegistry as a .reg file, to carry it to another registry.
//
// The file is what `qvr-reg export` writes (RegFileWriter): a [KEY] section
// for every picked key and for every key holding a picked value, keys in the
// tree's order (the hives as the tree lists them, then sub-keys by name,
// depth first, parents before children), and under each key its picked
// values (all of a picked key's own values are not implied: a picked key
// carries only the values picked with it), in the key's value order. The
// data is read anew from the registry of the machine shown, as stored,
// never taken from the list's text, so importing the file recreates the
// picked keys and values byte for byte. Key names carry no machine.
//
// The pick is the one GetSelectedDOM gives, and is taken the same way: in
// multiple selection the control's selection is emptied afterwards.
//
// Runs on the control's thread; the registry calls go through the current
// registry service.
//
//   RegFileWriter writer;
//   Status s = WritePickRegFile(control, writer);
//   ... or SavePickRegFile(control, "pick.reg");
#ifndef QVR_CONTROL_PICK_REG_FILE_H_
#define QVR_CONTROL_PICK_REG_FILE_H_

#include <string>

#include "control/ctl_registry.h"
#include "regfile/reg_file_writer.h"
#include "xml/dom_document.h"
#include "registry/status.h"

namespace qvr {

// Writes the pick into `writer` and finishes it. Fails (code 2) naming the
// key or value when one picked is gone from the registry, or with the
// registry's code when it cannot be read; `writer` then holds a partial file
// to be thrown away. An empty pick gives a file with the header alone.
Status WritePickRegFile(ctlRegistry& control, RegFileWriter& writer);

// The same for a pick taken already: `pick` is the document GetSelectedDOM
// filled, so one pick can be written both as XML and as a .reg file.
Status WritePickRegFile(ctlRegistry& control, DOMDocument& pick, RegFileWriter& writer);

// WritePickRegFile into the file `path`, replaced whole or left as it was
// (AtomicFile::Write).
Status SavePickRegFile(ctlRegistry& control, const std::string& path,
                       RegFileWriter::Dialect dialect = RegFileWriter::Dialect::kRegedit5);

}  // namespace qvr

#endif  // QVR_CONTROL_PICK_REG_FILE_H_
