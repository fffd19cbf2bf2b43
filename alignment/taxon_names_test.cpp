#include "alignment/taxon_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dk {
namespace {

using Strings = std::vector<std::string>;

TEST(TaxonNamesTest, PlainNamesHaveNoProblems) {
  for (const char* name : {"Alpha", "Homo.sapiens", "Homo_sapiens", "Canis|lupus", "Taxon1", "x",
                           "Ursus!", "\xC3\x89lan"}) {
    EXPECT_EQ(UnquotedNameProblems(name), Strings{}) << name;
    EXPECT_EQ(NexusQuoted(name), name);
  }
}

TEST(TaxonNamesTest, EachProblemSaysWhichFormatMindsAndWhy) {
  EXPECT_EQ(UnquotedNameProblems("Homo sapiens"),
            Strings{"a blank (PHYLIP ends a name at a blank; NEXUS needs quotes)"});
  EXPECT_EQ(UnquotedNameProblems("A(b):c,d"),
            Strings{"the punctuation ( ) : , (NEXUS needs quotes; tree files written from "
                    "PHYLIP break on ( ) [ ] : ; , ')"});
  EXPECT_EQ(UnquotedNameProblems("1234"),
            Strings{"only digits (NEXUS reads an unquoted number as a taxon number)"});
  EXPECT_EQ(UnquotedNameProblems(std::string("a\x01", 2)),
            Strings{"a control character (neither format can hold it)"});
  EXPECT_EQ(UnquotedNameProblems(""), Strings{"it is empty (neither format has an empty name)"});
  EXPECT_EQ(UnquotedNameProblems("Pan's troglodytes_x").size(), 2u);
}

TEST(TaxonNamesTest, QuotesWhatNexusWouldReadOtherwise) {
  EXPECT_EQ(NexusQuoted("Homo sapiens"), "'Homo sapiens'");
  EXPECT_EQ(NexusQuoted("Homo sapiens_x"), "'Homo sapiens_x'");
  EXPECT_EQ(NexusQuoted("Pan's"), "'Pan''s'");
  EXPECT_EQ(NexusQuoted("''"), "''''''");
  EXPECT_EQ(NexusQuoted("a-b"), "'a-b'");
  EXPECT_EQ(NexusQuoted("42"), "'42'");
  EXPECT_EQ(NexusQuoted(""), "''");
  EXPECT_EQ(NexusQuoted("[x]"), "'[x]'");
}

}  // namespace
}  // namespace dk

namespace dk {
namespace {

// The quick look agrees with the slow one: plain ASCII (no byte up to the blank, none
// from DEL up) with no problem to stand unquoted. Names of every length around the
// sixteen bytes looked at together, with each byte value at the start, inside and last.
TEST(IsPlainAsciiName, AgreesWithTheProblemsFoundOneByOne) {
  const auto expected = [](std::string_view name) {
    for (const char c : name) {
      const auto u = static_cast<unsigned char>(c);
      if (u <= 0x20 || u >= 0x7F) return false;
    }
    return UnquotedNameProblems(name).empty();
  };
  const std::string plain = "Homo_sapiens.v2_and_Pan|troglodytes#3";
  for (std::size_t length = 0; length <= plain.size(); ++length) {
    const std::string base = plain.substr(0, length);
    ASSERT_EQ(IsPlainAsciiName(base), expected(base)) << base;
    const std::string digits(length, '7');
    ASSERT_EQ(IsPlainAsciiName(digits), expected(digits)) << digits;
    for (std::size_t at : {std::size_t{0}, length / 2, length == 0 ? 0 : length - 1}) {
      if (at >= length) continue;
      for (int byte = 0; byte < 256; ++byte) {
        for (const std::string* start : {&base, &digits}) {
          std::string name = *start;
          name[at] = static_cast<char>(byte);
          ASSERT_EQ(IsPlainAsciiName(name), expected(name))
              << "byte " << byte << " at " << at << " of " << length;
        }
      }
    }
  }
}

}  // namespace
}  // namespace dk
