// Rows of table-driven tests that carry their own name. The name becomes the
// test's name, and gtest prints it wherever it shows the row (in listings and
// failures) instead of a dump of the row's bytes.
#pragma once

#include <ostream>
#include <string>

namespace pt::test {

// The first member of a row: `struct DropCase : test::NamedCase { ... };`,
// written `DropCase{"OneFile", ...}`.
struct NamedCase {
  const char* name;

  friend std::ostream& operator<<(std::ostream& os, const NamedCase& row) {
    return os << row.name;
  }
};

// Name generator for INSTANTIATE_TEST_SUITE_P over NamedCase rows.
struct CaseName {
  template <class Info>
  std::string operator()(const Info& info) const {
    return info.param.name;
  }
};

}  // namespace pt::test
