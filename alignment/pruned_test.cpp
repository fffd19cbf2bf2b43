#include "alignment/pruned.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/test_support.h"

namespace dk {
namespace {

using Strings = std::vector<std::string>;
using Flags = std::vector<bool>;

Alignment Read(const std::string& text, InputFormat format) {
  return ReadAlignment(text, format, "in");
}

// Reads `pruned` back and checks it holds the kept taxa of `full`, rows unchanged.
void ExpectReadsBackAsKept(const Alignment& full, const Flags& omitted, const std::string& pruned) {
  const Alignment back = Read(pruned, full.format);
  Strings names, rows;
  for (std::size_t i = 0; i < full.names.size(); ++i) {
    if (!omitted[i]) names.push_back(full.names[i]), rows.emplace_back(full.rows[i]);
  }
  EXPECT_EQ(back.names, names);
  EXPECT_EQ(back.characters, full.characters);
  if (full.format != InputFormat::kFasta) {
    Strings back_rows;
    for (std::size_t i = 0; i < back.rows.size(); ++i) back_rows.emplace_back(back.rows[i]);
    EXPECT_EQ(back_rows, rows);
  }
}

// Every kept row of a pruned copy is the input's text for it: measurements keep their
// digits, states their letter case and ambiguity braces, for every data type.
TEST(PrunedTest, KeptRowsHoldTheValuesExactlyAsWritten) {
  const auto nexus = [](const std::string& format, const Strings& rows) {
    std::string text = "#NEXUS\nBEGIN DATA;\n  DIMENSIONS NTAX=" + std::to_string(rows.size()) +
                       " NCHAR=3;\n  FORMAT " + format + ";\n  MATRIX\n";
    for (std::size_t i = 0; i < rows.size(); ++i) {
      text += "t" + std::to_string(i + 1) + " " + rows[i] + "\n";
    }
    return text + ";\nEND;\n";
  };
  struct Case {
    std::string text;
    InputFormat format;
    Strings rows;  // as the pruned copy must hold them
  };
  // A NEXUS matrix whose rows the copy must hold as they stand.
  const auto kept_as_written = [&](const std::string& format, const Strings& rows) {
    return Case{nexus(format, rows), InputFormat::kNexus, rows};
  };
  const Case cases[] = {
      kept_as_written("DATATYPE=CONTINUOUS", {"3.14159265358979 123456789 0.000012345678",
                                              "1e400 -0 ?", "1.0 2.00 3.000"}),
      kept_as_written("DATATYPE=STANDARD SYMBOLS=\"012\" GAP=-", {"0(01)?", "{12}-1", "210"}),
      kept_as_written("DATATYPE=DNA GAP=- MISSING=?", {"a{ag}N", "c-?", "ACG"}),
      kept_as_written("DATATYPE=PROTEIN GAP=-", {"mKw", "X-?", "LLL"}),
      kept_as_written("DATATYPE=MIXED(DNA:1-2,STANDARD:3) GAP=-", {"ac0", "G-1", "tt?"}),
      {"3 4\nA acgT\nB a-n?\nC AC GT\n", InputFormat::kPhylip, {"acgT", "a-n?", "ACGT"}},
  };
  for (const Case& c : cases) {
    const Alignment a = Read(c.text, c.format);
    const std::string pruned = PrunedAlignment(a, {false, true, false});
    for (const std::size_t kept : {0u, 2u}) {
      EXPECT_NE(pruned.find(c.rows[kept] + "\n"), std::string::npos)
          << c.rows[kept] << " is not in\n"
          << pruned;
    }
    EXPECT_EQ(pruned.find(c.rows[1]), std::string::npos) << pruned;
  }
}

TEST(PrunedTest, FastaKeepsRecordsByteForByte) {
  const Alignment a = Read(">A desc\r\nAC\r\nGT\r\n>B\nacgt\n>C\nAAAA", InputFormat::kFasta);
  EXPECT_EQ(PrunedAlignment(a, {false, true, false}), ">A desc\r\nAC\r\nGT\r\n>C\nAAAA");
  EXPECT_EQ(PrunedAlignment(a, {true, false, true}), ">B\nacgt\n");
  // The last record had no line break: it gets one when another record follows it.
  const Alignment b = Read(">A\nAC\n>B\nAG", InputFormat::kFasta);
  EXPECT_EQ(PrunedAlignment(b, {false, false}), ">A\nAC\n>B\nAG");
  EXPECT_EQ(PrunedAlignment(a, {true, true, true}), "");
  ExpectReadsBackAsKept(a, {false, true, false}, PrunedAlignment(a, {false, true, false}));
}

TEST(PrunedTest, PhylipKeepsTheNameLayout) {
  const Alignment strict =
      Read("3 4\nHomo sapieACGT\nPan       AC-T\nGorilla   ACG?\n", InputFormat::kPhylip);
  ASSERT_EQ(strict.format, InputFormat::kPhylipStrict);
  EXPECT_EQ(PrunedAlignment(strict, {false, true, false}), "2 4\nHomo sapieACGT\nGorilla   ACG?\n");
  const Alignment relaxed =
      Read("3 8\nHomo_sapiens ACGT\nPan_troglodytes ACGT\nGor ACG?\n\nACGT\nAC-T\nACGT\n",
           InputFormat::kPhylip);
  ASSERT_EQ(relaxed.format, InputFormat::kPhylipRelaxed);
  ASSERT_TRUE(relaxed.interleaved);
  const std::string pruned = PrunedAlignment(relaxed, {true, false, false});
  EXPECT_EQ(pruned,
            "2 8\n"
            "Pan_troglodytes ACGTAC-T\n"
            "Gor             ACG?ACGT\n");
  ExpectReadsBackAsKept(relaxed, {true, false, false}, pruned);
  ExpectReadsBackAsKept(strict, {false, true, false},
                        PrunedAlignment(strict, {false, true, false}));
}

TEST(PrunedTest, NexusWritesTaxaCharactersAndSets) {
  const Alignment a = Read(
      "#NEXUS\nbegin data; dimensions ntax=3 nchar=4; format datatype=dna gap=-;\n"
      "matrix\nHomo_sapiens ACGT\n'Pan''s' AC-T\nGor ACG?\n;\nend;\n"
      "begin sets; charset one = 1-2; charset two = 3 4; taxset x = 1; end;\n",
      InputFormat::kNexus);
  const std::string pruned = PrunedAlignment(a, {false, false, true});
  EXPECT_EQ(pruned,
            "#NEXUS\n\nBEGIN TAXA;\n  DIMENSIONS NTAX=2;\n  TAXLABELS\n"
            "    Homo_sapiens\n    'Pan''s'\n  ;\nEND;\n\n"
            "BEGIN CHARACTERS;\n  DIMENSIONS NCHAR=4;\n" +
                a.nexus_characters +
                "  MATRIX\n"
                "    Homo_sapiens  ACGT\n"
                "    'Pan''s'      AC-T\n"
                "  ;\nEND;\n\n"
                "BEGIN SETS;\n  CHARSET one = 1-2;\n  CHARSET two = 3-4;\nEND;\n");
  ExpectReadsBackAsKept(a, {false, false, true}, pruned);
  // Polymorphic standard data survive the trip too.
  const Alignment m = Read(
      "#NEXUS\nbegin data; dimensions ntax=3 nchar=3; format datatype=standard symbols=\"012\";\n"
      "matrix\nA 0(12)1\nB 1{01}?\nC 012\n;\nend;\n",
      InputFormat::kNexus);
  ExpectReadsBackAsKept(m, {false, true, false}, PrunedAlignment(m, {false, true, false}));
  ExpectReadsBackAsKept(m, {true, false, false}, PrunedAlignment(m, {true, false, false}));
}

TEST(PrunedTest, RefusesFlagsOfTheWrongCount) {
  const Alignment a = Read(">A\nAC\n>B\nAG\n", InputFormat::kFasta);
  EXPECT_EQ(test::ErrorOf([&] { PrunedAlignment(a, {true}); }),
            "PrunedAlignment: 1 flags for 2 taxa");
}

}  // namespace
}  // namespace dk
