// The XML document of the selection: one Registry element for the item
// clicked last (single selection), or Collection elements mirroring the
// marked keys with a Registry element per ticked key and value (multiple
// selection).
#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "control/ctl_registry.h"
#include "control/export_text.h"
#include "control/internal/node_path.h"
#include "control/internal/picked_levels.h"
#include "automation/automation_error.h"
#include "base/unicode.h"

namespace qvr {
namespace {
using export_text::kDefaultName;
using export_text::kDefaultNameStarred;

using control_internal::NodePath;
using control_internal::PickedLevels;

constexpr int32_t kCriticalOk = toolkit::vbOKOnly + toolkit::vbCritical;

// A key or value name as the document carries it (the value list's data
// column is printable already).
std::string Shown(std::string_view name) { return export_text::PrintableText(name); }

// One level of the multiple-selection walk: the siblings from `node` on,
// written into `parent`.
struct ExportLevel {
  ExportLevel(toolkit::NodePtr first, DOMElement into)
      : node(std::move(first)), parent(std::move(into)) {}

  toolkit::NodePtr node;  // the sibling whose turn it is; null once the level is done
  DOMElement parent;
  // The Collection of a marked `node`, while it is filled. It joins `parent`
  // when the node's turn ends: an element is placed by walking up from its new
  // parent, and a detached Collection has no ancestors to walk.
  DOMElement collection;
  bool found = false;        // whether the last marked node on this level had picks
  bool entered = false;      // whether the path stands on `node`
  bool in_children = false;  // whether `node`'s children are being walked
};

DOMElement NewCollection(DOMDocument& doc, const std::string& name) {
  DOMElement C = doc.createElement("Collection");
  C.setAttribute("clsid", export_text::kCollectionClsid);
  C.setAttribute("name", Shown(name));
  return C;
}

// The element of a ticked key node, whose display path is `display_path`.
void AppendKeyItem(DOMDocument& doc, DOMElement& into, const std::string& text,
                   const std::string& display_path) {
  DOMElement R = doc.createElement("Registry");
  DOMElement Q = doc.createElement("Properties");
  R.setAttribute("clsid", export_text::kItemClsid);
  R.setAttribute("name", Shown(text));
  R.setAttribute("image", export_text::kKeyImage);
  R.setAttribute("descr", export_text::kItemDescription);
  R.setAttribute("status", Shown(text));
  Q.setAttribute("action", export_text::kAction);
  Q.setAttribute("default", "0");
  const export_text::DisplayPath parts = export_text::SplitDisplayPath(display_path);
  Q.setAttribute("hive", Shown(parts.hive));
  // A hive gives its name as both hive and key.
  Q.setAttribute("key",
                 Shown(display_path.find('\\') == std::string::npos ? display_path : parts.key));
  Q.setAttribute("name", "");
  Q.setAttribute("type", "");
  Q.setAttribute("value", "");
  into.appendChild(R);
  R.appendChild(Q);
}

DOMDocument& Require(DOMDocument* document) {
  if (document == nullptr) throw errors::ObjectVariableNotSet("ctlRegistry");
  return *document;
}

// The data text of a row or record as the document carries it.
std::string ExportedValue(const std::string& type_word, const std::string& data, bool exact) {
  const bool binary = exact ? type_word == "REG_BINARY" : EqualsNoCase(type_word, "REG_BINARY");
  const bool dword = exact ? type_word == "REG_DWORD" : EqualsNoCase(type_word, "REG_DWORD");
  if (binary) return export_text::RemoveSpaces(data);
  // A DWORD without a number (no data, or bytes of another length than a
  // DWORD's) exports as the list shows it.
  if (dword) return export_text::DwordTextToHexIfNumber(data).value_or(data);
  return data;
}
}  // namespace

void ctlRegistry::GetSelectedDOM(DOMDocument* xmlDomDoc) {
  try {
    if (m_SelectionType != SingleSelect) {
      toolkit::NodePtr start = m_Nodes->Item(1)->Root()->FirstSibling()->Child();
      PopulateDomWithMultipleItems(start, xmlDomDoc, DOMElement());
      m_colSelection->Clear();
    } else if (IsValidSelection()) {
      PopulateDomWithSingleItem(xmlDomDoc);
    }
  } catch (const std::exception&) {
    messages_.MsgBox("Error occurred in GetSelectedDOM()", kCriticalOk, "Uncaught Exception");
  }
}

void ctlRegistry::PopulateDomWithSingleItem(DOMDocument* xmlDomDoc) {
  // Without a document, or without a row to write into it, there is nothing
  // to export; that is reported as any other failure here is.
  toolkit::ListItemPtr row = lvValues_.SelectedItem();
  if (xmlDomDoc == nullptr || !row) {
    ShowUncaught("PopulateDomWithSingleItem");
    return;
  }
  try {
    DOMDocument& doc = *xmlDomDoc;
    const std::string& P = m_strSelectedPath;
    const std::string& N = m_strSelectedValue;
    const std::string T = row->Text();
    const std::string W = row->SubItems(1);
    const std::string D = row->SubItems(2);
    const export_text::DisplayPath parts = export_text::SplitDisplayPath(P);
    const std::string KN = export_text::KeyName(parts.key);

    DOMElement R = doc.createElement("Registry");
    R.setAttribute("clsid", export_text::kItemClsid);
    DOMElement Q = doc.createElement("Properties");
    Q.setAttribute("action", export_text::kAction);

    const bool row_is_default = EqualsNoCase(T, kDefaultName);
    if (row_is_default) {
      R.setAttribute("name", Shown(KN));
      Q.setAttribute("name", "");
    } else {
      R.setAttribute("name", EqualsNoCase(T, kDefaultNameStarred) ? kDefaultName : Shown(T));
      Q.setAttribute("name", EqualsNoCase(N, kDefaultNameStarred) ? kDefaultName : Shown(N));
    }
    if (row_is_default && !N.empty()) {
      Q.setAttribute("default", "1");
      R.setAttribute("status", kDefaultName);
    } else {
      Q.setAttribute("default", "0");
      R.setAttribute("status", N.empty()                               ? Shown(KN)
                               : EqualsNoCase(N, kDefaultNameStarred) ? std::string(kDefaultName)
                                                                       : Shown(N));
    }
    R.setAttribute("descr", export_text::kItemDescription);
    Q.setAttribute("hive", Shown(parts.hive));
    Q.setAttribute("key", Shown(parts.key));
    Q.setAttribute("type", W);
    std::string image = export_text::ImageNumberFor(W);
    if (EqualsNoCase(D, export_text::kValueNotSet)) {
      Q.setAttribute("value", "");
      if (N.empty()) image = export_text::kKeyImage;
    } else {
      Q.setAttribute("value", ExportedValue(W, D, /*exact=*/true));
    }
    R.setAttribute("image", image);
    doc.documentElement().appendChild(R);
    R.appendChild(Q);
  } catch (const std::exception&) {
    ShowUncaught("PopulateDomWithSingleItem");
  }
}

void ctlRegistry::PopulateDomWithMultipleItems(toolkit::NodePtr node, DOMDocument* xmlDomDoc,
                                               DOMElement xmlParent) {
  if (xmlDomDoc == nullptr) {
    ShowUncaught("PopulateDomWithMultipleItems");
    return;
  }
  DOMDocument& doc = *xmlDomDoc;
  std::vector<ExportLevel> levels;
  std::optional<NodePath> path;
  std::optional<PickedLevels> picks;
  try {
    if (!node) node = m_Nodes->Item(1)->Root()->FirstSibling();
    if (!xmlParent) xmlParent = doc.documentElement();
    // A document without a root element has nowhere to take the pick.
    if (!xmlParent) {
      ShowUncaught("PopulateDomWithMultipleItems");
      return;
    }
    path.emplace(node->Parent());
    picks.emplace(*m_colSelection);
    levels.emplace_back(node, xmlParent);
  } catch (const std::exception&) {
    ShowUncaught("PopulateDomWithMultipleItems");
    return;
  }

  // Writes a node's own elements; true when its children are to be walked
  // next, into its Collection.
  auto open_node = [&](ExportLevel& level) {
    const toolkit::Node& n = *level.node;
    path->Down(n);
    level.entered = true;
    const bool marked = n.Image() == "SELECTKEY";
    if (marked) level.collection = NewCollection(doc, n.Text());
    DOMElement& C = marked ? level.collection : level.parent;
    if (n.Checked()) AppendKeyItem(doc, C, n.Text(), path->Text());
    if (!marked) return false;
    level.found = picks->MayHold(path->Separators()) &&
                  PopulateDomWithKeyItems(xmlDomDoc, C, path->Text());
    return n.Children() > 0;
  };
  // Ends a node's turn, however it went: its Collection, filled as far as it
  // got, takes its place in the level's element.
  auto leave_node = [&](ExportLevel& level) {
    if (level.collection) level.parent.appendChild(std::exchange(level.collection, DOMElement()));
    if (level.entered) path->Up();
    level.entered = false;
  };
  // What comes after a node's children.
  auto close_node = [&](ExportLevel& level) {
    DOMElement& C = level.collection ? level.collection : level.parent;
    // Values filed under a hive itself. Only a hive node's text is a display
    // path: a key that happens to be named like a hive has none of them.
    if (!level.found && IsHiveNode(level.node) && picks->MayHold(path->Separators())) {
      PopulateDomWithKeyItems(xmlDomDoc, C, path->Text());
    }
    leave_node(level);
    level.node = level.node->Next();
  };

  // Depth first, with the levels on a stack of their own: a tree built in the
  // model can be far deeper than the machine's stack would let a walk recurse.
  while (!levels.empty()) {
    ExportLevel& level = levels.back();
    try {
      if (!level.node) {
        levels.pop_back();
      } else if (level.in_children) {
        level.in_children = false;
        close_node(level);
      } else if (open_node(level)) {
        level.in_children = true;
        ExportLevel children(level.node->Child(), level.collection);
        levels.push_back(std::move(children));  // `level` is not used again
      } else {
        close_node(level);
      }
    } catch (const std::exception&) {
      // The failing level ends with what it has written; the level above
      // goes on, and is told by the message box only.
      ShowUncaught("PopulateDomWithMultipleItems");
      leave_node(levels.back());
      levels.pop_back();
    }
  }
}

bool ctlRegistry::PopulateDomWithKeyItems(DOMDocument* xmlDomDoc, DOMElement& xmlParent,
                                          const std::string& strKeyPath) {
  std::shared_ptr<qvrSelectedData> records = m_colSelection->item(Variant(strKeyPath));
  if (!records) return false;
  DOMDocument& doc = Require(xmlDomDoc);
  bool result = false;
  // The count is taken once; records filed meanwhile are not written.
  int32_t remaining = records->Count();
  for (auto it = records->begin(); it != records->end() && remaining > 0; ++it, --remaining) {
    const std::shared_ptr<qvrData>& record = *it;
    if (!record) continue;
    DOMElement R = doc.createElement("Registry");
    DOMElement Q = doc.createElement("Properties");
    R.setAttribute("clsid", record->strRegistryClsID);
    const std::string& NM = record->strPropSheetName;
    const bool is_default = EqualsNoCase(NM, kDefaultName);
    const bool is_starred = !is_default && EqualsNoCase(NM, kDefaultNameStarred);
    std::string S;
    if (NM.empty()) {
      S = record->strPropSheetKey;
    } else if (NM.find(kDefaultNameStarred) == std::string::npos) {
      S = NM;
    } else {
      S = NM;
      for (size_t at = S.find(kDefaultNameStarred); at != std::string::npos;
           at = S.find(kDefaultNameStarred, at + 1)) {
        S.replace(at, std::string_view(kDefaultNameStarred).size(), kDefaultName);
      }
    }
    const std::string& type = record->strPropSheetType;
    const std::string& data = record->strPropSheetValue;
    // The converted text, computed before anything is written.
    std::string converted;
    const bool convert = EqualsNoCase(type, "REG_BINARY") || EqualsNoCase(type, "REG_DWORD");
    if (convert) converted = ExportedValue(type, data, /*exact=*/false);
    R.setAttribute("status", Shown(S));
    if (is_default) {
      const std::string key_name = export_text::KeyName(record->strPropSheetKey);
      R.setAttribute("name", key_name.empty() ? "Hive" : Shown(key_name));
      Q.setAttribute("name", "");
    } else {
      R.setAttribute("name", Shown(S));
      Q.setAttribute("name", is_starred ? std::string(kDefaultName) : Shown(NM));
    }
    R.setAttribute("descr", record->strRegistryDesc);
    R.setAttribute("image", record->strRegistryImage);
    Q.setAttribute("action", record->strPropSheetAct);
    Q.setAttribute("default", record->strPropSheetDefault);
    Q.setAttribute("hive", Shown(record->strPropSheetHive));
    Q.setAttribute("key", Shown(record->strPropSheetKey));
    Q.setAttribute("type", record->strPropSheetType);
    Q.setAttribute("value", convert ? std::string_view(converted) : std::string_view(data));
    xmlParent.appendChild(R);
    R.appendChild(Q);
    result = true;
  }
  return result;
}

}  // namespace qvr
