// The XML document of the selection: one Registry element for the item
// clicked last (single selection), or Collection elements mirroring the
// marked keys with a Registry element per ticked key and value (multiple
// selection).
#include <exception>

#include "control/ctl_registry.h"
#include "control/export_text.h"
#include "automation/automation_error.h"
#include "base/unicode.h"

namespace qvr {
namespace {
using export_text::kDefaultName;
using export_text::kDefaultNameStarred;

constexpr int32_t kCriticalOk = toolkit::vbOKOnly + toolkit::vbCritical;

DOMDocument& Require(DOMDocument* document) {
  if (document == nullptr) throw errors::ObjectVariableNotSet("ctlRegistry");
  return *document;
}

// The data text of a row or record as the document carries it.
std::string ExportedValue(const std::string& type_word, const std::string& data, bool exact) {
  const bool binary = exact ? type_word == "REG_BINARY" : EqualsNoCase(type_word, "REG_BINARY");
  const bool dword = exact ? type_word == "REG_DWORD" : EqualsNoCase(type_word, "REG_DWORD");
  if (binary) return export_text::RemoveSpaces(data);
  // A DWORD without data has no number to convert; it exports empty, as a
  // row showing "(value not set)" does.
  if (dword) return data.empty() ? data : export_text::DwordTextToHex(data);
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
      R.setAttribute("name", KN);
      Q.setAttribute("name", "");
    } else {
      R.setAttribute("name", EqualsNoCase(T, kDefaultNameStarred) ? kDefaultName : T);
      Q.setAttribute("name", EqualsNoCase(N, kDefaultNameStarred) ? kDefaultName : N);
    }
    if (row_is_default && !N.empty()) {
      Q.setAttribute("default", "1");
      R.setAttribute("status", kDefaultName);
    } else {
      Q.setAttribute("default", "0");
      R.setAttribute("status", N.empty()                               ? KN
                               : EqualsNoCase(N, kDefaultNameStarred) ? std::string(kDefaultName)
                                                                       : N);
    }
    R.setAttribute("descr", export_text::kItemDescription);
    Q.setAttribute("hive", parts.hive);
    Q.setAttribute("key", parts.key);
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
  try {
    DOMDocument& doc = *xmlDomDoc;
    if (!node) node = m_Nodes->Item(1)->Root()->FirstSibling();
    if (!xmlParent) xmlParent = doc.documentElement();
    // A document without a root element has nowhere to take the pick.
    if (!xmlParent) {
      ShowUncaught("PopulateDomWithMultipleItems");
      return;
    }
    // Set once per level: an unmarked node sees what the last marked node
    // before it on this level found.
    bool found = false;
    for (; node; node = node->Next()) {
      const bool marked = node->Image() == "SELECTKEY";
      DOMElement C = xmlParent;
      const bool is_hive = IsHiveNode(node);
      // Most siblings on a level are neither marked nor ticked; only the
      // others need their path.
      const std::string display_path =
          marked || is_hive || node->Checked() ? DisplayPathOf(node) : std::string();
      if (marked) {
        C = doc.createElement("Collection");
        C.setAttribute("clsid", export_text::kCollectionClsid);
        C.setAttribute("name", node->Text());
        xmlParent.appendChild(C);
      }
      if (node->Checked()) {
        DOMElement R = doc.createElement("Registry");
        DOMElement Q = doc.createElement("Properties");
        R.setAttribute("clsid", export_text::kItemClsid);
        R.setAttribute("name", node->Text());
        R.setAttribute("image", export_text::kKeyImage);
        R.setAttribute("descr", export_text::kItemDescription);
        R.setAttribute("status", node->Text());
        Q.setAttribute("action", export_text::kAction);
        Q.setAttribute("default", "0");
        const export_text::DisplayPath parts = export_text::SplitDisplayPath(display_path);
        Q.setAttribute("hive", parts.hive);
        // A hive gives its name as both hive and key.
        Q.setAttribute("key", display_path.find('\\') == std::string::npos ? display_path
                                                                             : parts.key);
        Q.setAttribute("name", "");
        Q.setAttribute("type", "");
        Q.setAttribute("value", "");
        C.appendChild(R);
        R.appendChild(Q);
      }
      if (marked) {
        found = PopulateDomWithKeyItems(xmlDomDoc, C, display_path);
        if (node->Children() > 0) PopulateDomWithMultipleItems(node->Child(), xmlDomDoc, C);
      }
      // Values filed under a hive itself. Only a hive node's text is a display
      // path: a key that happens to be named like a hive has none of them.
      if (!found && is_hive) PopulateDomWithKeyItems(xmlDomDoc, C, display_path);
    }
  } catch (const std::exception&) {
    ShowUncaught("PopulateDomWithMultipleItems");
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
    // The converted text, computed before anything is written: a DWORD that is
    // not a number ends the walk with nothing half written.
    std::string converted;
    const bool convert = EqualsNoCase(type, "REG_BINARY") || EqualsNoCase(type, "REG_DWORD");
    if (convert) converted = ExportedValue(type, data, /*exact=*/false);
    R.setAttribute("status", S);
    if (is_default) {
      const std::string key_name = export_text::KeyName(record->strPropSheetKey);
      R.setAttribute("name", key_name.empty() ? "Hive" : key_name);
      Q.setAttribute("name", "");
    } else {
      R.setAttribute("name", S);
      Q.setAttribute("name", is_starred ? std::string_view(kDefaultName) : std::string_view(NM));
    }
    R.setAttribute("descr", record->strRegistryDesc);
    R.setAttribute("image", record->strRegistryImage);
    Q.setAttribute("action", record->strPropSheetAct);
    Q.setAttribute("default", record->strPropSheetDefault);
    Q.setAttribute("hive", record->strPropSheetHive);
    Q.setAttribute("key", record->strPropSheetKey);
    Q.setAttribute("type", record->strPropSheetType);
    Q.setAttribute("value", convert ? std::string_view(converted) : std::string_view(data));
    xmlParent.appendChild(R);
    R.appendChild(Q);
    result = true;
  }
  return result;
}

}  // namespace qvr
