// Reads an XML text with libxml2, a parser other than the one the library
// writes with, so that a test's "well-formed" does not rest on the writer's
// own idea of XML.
#ifndef QVR_TESTS_SUPPORT_WELL_FORMED_H_
#define QVR_TESTS_SUPPORT_WELL_FORMED_H_

#include <gtest/gtest.h>

#include <string_view>

namespace qvr::testing {

// For EXPECT_TRUE(WellFormedXml(text)): success when libxml2 reads `text` as
// a well-formed XML 1.0 document (nesting of any depth allowed), otherwise
// its first error.
::testing::AssertionResult WellFormedXml(std::string_view text);

}  // namespace qvr::testing

#endif  // QVR_TESTS_SUPPORT_WELL_FORMED_H_
