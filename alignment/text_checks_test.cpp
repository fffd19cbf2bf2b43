#include "alignment/text_checks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;
using Strings = std::vector<std::string>;

std::string NexusError(const std::string& text) {
  return ErrorOf([&] { CheckNexusDimensions(text, "f.nex"); });
}

TEST(TextChecksTest, NexusDimensionsAreFoundWhereverNexusReadsThem) {
  const std::string pad(400, ' ');  // room for the cells the counts claim
  EXPECT_EQ(NexusError("dimensions ntax = 20 nchar=\n20;" + pad), "(no error)");
  EXPECT_EQ(NexusError("Dimensions NTax=200001;"),
            "Cannot read 'f.nex': it declares 200001 taxa; at most 100000 are allowed");
  EXPECT_EQ(NexusError("dimensions nchar=99999999;"),
            "Cannot read 'f.nex': it declares 99999999 characters; at most 50000000 are allowed");
  EXPECT_EQ(NexusError("dimensions ntax=10 nchar=43;" + pad),
            "Cannot read 'f.nex': it declares 10 taxa of 43 characters, more than its 428 bytes "
            "can hold");
  EXPECT_EQ(NexusError("nchar=1234567890123;"), "Cannot read 'f.nex': its NCHAR is too large");
}

TEST(TextChecksTest, CommentsAndQuotedWordsDoNotCount) {
  EXPECT_EQ(NexusError("[ntax=999999 [nested ntax=999999] ntax=999999] ntax=2;"), "(no error)");
  EXPECT_EQ(NexusError("taxlabels 'it''s ntax=999999' b; ntax=2;"), "(no error)");
  EXPECT_EQ(NexusError("xntax=999999 ntaxa=999999 ntax=2;"), "(no error)");
  // An unclosed comment or quote runs to the end of the text.
  EXPECT_EQ(NexusError("[ ntax=999999"), "(no error)");
  EXPECT_EQ(NexusError("' ntax=999999"), "(no error)");
}

TEST(TextChecksTest, PhylipHeader) {
  EXPECT_EQ(ErrorOf([] { CheckPhylipHeader("\n 2 3\nA ACG\nB ACG\n", "f"); }), "(no error)");
  EXPECT_EQ(ErrorOf([] { CheckPhylipHeader("2\n3\n", "f"); }),
            "Cannot read 'f' as PHYLIP: its first line must hold the numbers of taxa and "
            "characters");
}

TEST(TextChecksTest, FastaRecordsKeepTheirText) {
  const auto records = FastaRecords("junk\n> A b \r\nAC\r\n\n>B\nAG", "f");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].name, "A b");
  EXPECT_EQ(records[0].text, "> A b \r\nAC\r\n\n");
  EXPECT_EQ(records[1].name, "B");
  EXPECT_EQ(records[1].text, ">B\nAG");
  EXPECT_TRUE(FastaRecords("", "f").empty());
  const auto old_mac = FastaRecords(">A\rAC\r>B\rAG\r", "f");
  ASSERT_EQ(old_mac.size(), 2u);
  EXPECT_EQ(old_mac[1].name, "B");
  EXPECT_EQ(old_mac[1].text, ">B\rAG\r");
}

TEST(TextChecksTest, UnreadPhylipTextCountsWhatTheReadingExplains) {
  const std::string text = "2 4\nHomo sapie ACGT\nPan  AC-T\n";
  const auto rows = [](const std::string& a, const std::string& b) {
    RowSet set;
    set.AddOwn(a);
    set.AddOwn(b);
    return set;
  };
  EXPECT_EQ(UnreadPhylipText(text, {"Homo sapie", "Pan"}, rows("ACGT", "AC-T")), std::nullopt);
  EXPECT_EQ(UnreadPhylipText(text, {"Homo", "Pan"}, rows("SAPIEACG", "AC-T")),
            "the names and rows of 2 taxa account for 19 of the 20 non-blank characters after "
            "the first line");
}

}  // namespace
}  // namespace dk
