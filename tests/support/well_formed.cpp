#include "support/well_formed.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

namespace qvr::testing {

::testing::AssertionResult WellFormedXml(std::string_view text) {
  // XML_PARSE_HUGE: libxml2 refuses nesting deeper than 256 levels otherwise.
  xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), "test.xml", nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                                    XML_PARSE_HUGE);
  if (doc != nullptr) {
    xmlFreeDoc(doc);
    return ::testing::AssertionSuccess();
  }
  const xmlError* error = xmlGetLastError();
  return ::testing::AssertionFailure()
         << "libxml2: " << (error && error->message ? error->message : "not well-formed")
         << " in: " << text.substr(0, 200);
}

}  // namespace qvr::testing
