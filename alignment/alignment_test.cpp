#include "alignment/alignment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/errors.h"
#include "testing/programs.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;
using Strings = std::vector<std::string>;

Alignment Read(const std::string& text, InputFormat format) {
  return ReadAlignment(text, format, "in.txt");
}

Strings RowsOf(const Alignment& a) {
  Strings rows;
  for (std::size_t i = 0; i < a.rows.size(); ++i) rows.emplace_back(a.rows[i]);
  return rows;
}

std::string ReadError(const std::string& text, InputFormat format) {
  return ErrorOf([&] { Read(text, format); });
}

// ---- FASTA

TEST(FastaTest, KeepsEachRecordAsItStands) {
  const std::string text = ">Alpha first taxon\r\nACGTa\r\ncg\r\n>Beta\nACG-?NN\n\n>Gamma\nRYKMACG";
  const Alignment a = Read(text, InputFormat::kFasta);
  EXPECT_EQ(a.format, InputFormat::kFasta);
  EXPECT_EQ(a.kind, DataKind::kDna);
  // Named by the first word, as tree programs name them; the record keeps the whole line.
  EXPECT_EQ(a.names, (Strings{"Alpha", "Beta", "Gamma"}));
  EXPECT_EQ(a.characters, 7u);
  EXPECT_EQ(RowsOf(a), (Strings{">Alpha first taxon\r\nACGTa\r\ncg\r\n", ">Beta\nACG-?NN\n\n",
                                ">Gamma\nRYKMACG"}));
  ReadingOptions whole;
  whole.fasta_names = FastaNames::kWholeLine;
  EXPECT_EQ(ReadAlignment(text, InputFormat::kFasta, "in.txt", whole).names,
            (Strings{"Alpha first taxon", "Beta", "Gamma"}));
}

TEST(FastaTest, RecognisesRnaAndProtein) {
  EXPECT_EQ(Read(">a\nACGU\n>b\nACGU\n", InputFormat::kFasta).kind, DataKind::kRna);
  const Alignment protein = Read(">a\nMKLEWF\n>b\nMKLQ-X\n", InputFormat::kFasta);
  EXPECT_EQ(protein.kind, DataKind::kProtein);
  EXPECT_EQ(protein.names, (Strings{"a", "b"}));
}

TEST(FastaTest, RefusesRepeatedAndMissingNames) {
  EXPECT_EQ(ReadError(">Alpha\nAC\n>Beta\nAC\n>alpha\nAC\n", InputFormat::kFasta),
            "Cannot read 'in.txt': the taxon name 'alpha' is given twice (sequences 1 and 3; "
            "names are compared ignoring letter case)");
  EXPECT_EQ(ReadError(">Alpha one\nAC\n>Beta\nAC\n\n>alpha\ttwo\nAC\n", InputFormat::kFasta),
            "Cannot read 'in.txt': the taxa of lines 1 and 6 ('>Alpha one' and '>alpha\\ttwo') are "
            "both named 'Alpha' by the first word, as tree programs name them (letter case "
            "aside); make the first words differ, or name each taxon by its whole line "
            "(--fasta-names whole-line)");
  EXPECT_EQ(ReadError(">Alpha\nAC\n>  \nAC\n", InputFormat::kFasta),
            "Cannot read 'in.txt': sequence 2 has no name after its \">\"");
}

TEST(FastaTest, RefusesUnequalLengthsNamingTheOddOnes) {
  EXPECT_EQ(ReadError(">A\nACGT\n>B\nACG\n>C\nACGT\n>D\nACGTAA\n", InputFormat::kFasta),
            "Cannot use 'in.txt' as an alignment: its sequences differ in length: 2 have 4 "
            "characters, but 'B' has 3, 'D' has 6");
  std::string many = ">ref1\nACGT\n>ref2\nACGT\n";
  for (int i = 0; i < 12; ++i) many += ">short" + std::to_string(i) + "\nAC\n";
  many += ">ref3\nACGT\n";
  // The shorter sequences are the most common length here, so the longer ones are odd.
  EXPECT_EQ(ReadError(many, InputFormat::kFasta),
            "Cannot use 'in.txt' as an alignment: its sequences differ in length: 12 have 2 "
            "characters, but 'ref1' has 4, 'ref2' has 4, 'ref3' has 4");
  std::string long_list = ">a\nACGT\n>b\nACGT\n";
  for (int i = 0; i < 3; ++i) long_list += ">n" + std::to_string(i) + "\nACGT\n";
  for (int i = 0; i < 12; ++i) long_list += ">s" + std::to_string(i) + "\nA\n";
  long_list = ">x\nACGTACGT\n" + long_list;
  const std::string error = ReadError(long_list, InputFormat::kFasta);
  EXPECT_NE(error.find("12 have 1 characters, but 'x' has 8, 'a' has 4"), std::string::npos)
      << error;
}

TEST(FastaTest, ReportsNclsReasonWithTheLine) {
  EXPECT_EQ(ReadError("junk\n>a\nAC\n", InputFormat::kFasta).substr(0, 33),
            "Cannot read 'in.txt' as FASTA: Il");
  const std::string error = ReadError(">a\nAC!T\n>b\nACGT\n", InputFormat::kFasta);
  EXPECT_NE(error.find("(line 2, column"), std::string::npos) << error;
  EXPECT_NE(error.find("\"!\""), std::string::npos) << error;
}

TEST(FastaTest, ReadsTheCommittedExample) {
  const std::string text = test::ReadFile(test::ExampleFile("example.fasta"));
  const Alignment a = Read(text, InputFormat::kFasta);
  EXPECT_EQ(a.names.size(), 16u);
  EXPECT_EQ(a.names[0], "Alpha");
  EXPECT_EQ(a.characters, 600u);
  std::string joined;
  for (const auto& row : RowsOf(a)) joined += row;
  EXPECT_EQ(joined, text);
}

// ---- PHYLIP

const char kStrict[] =
    "3 8\n"
    "Homo sapieACGTACGT\n"
    "Pan       ACGTAC-T\n"
    "Gorilla g ACG?ACGT\n";
const char kRelaxed[] =
    " 3 8\n"
    "Homo_sapiens  ACGTACGT\n"
    "Pan_troglodytes acgtac-t\n"
    "Gorilla       ACG?ACGT\n";
const char kRelaxedInterleaved[] =
    "3 8\n"
    "Homo_sapiens  ACGT\n"
    "Pan_troglodytes ACGT\n"
    "Gorilla       ACG?\n"
    "\n"
    "ACGT\n"
    "AC-T\n"
    "ACGT\n";
const char kStrictInterleaved[] =
    "3 8\n"
    "Homo sapieACGT\n"
    "Pan       ACGT\n"
    "Gorilla g ACG?\n"
    "\n"
    "ACGT\n"
    "AC-T\n"
    "ACGT\n";

TEST(PhylipTest, FindsTheLayoutOfEachKind) {
  struct Case {
    const char* text;
    InputFormat format;
    bool interleaved;
    Strings names;
  } cases[] = {
      {kStrict, InputFormat::kPhylipStrict, false, {"Homo sapie", "Pan", "Gorilla g"}},
      {kRelaxed,
       InputFormat::kPhylipRelaxed,
       false,
       {"Homo_sapiens", "Pan_troglodytes", "Gorilla"}},
      {kRelaxedInterleaved,
       InputFormat::kPhylipRelaxed,
       true,
       {"Homo_sapiens", "Pan_troglodytes", "Gorilla"}},
      {kStrictInterleaved, InputFormat::kPhylipStrict, true, {"Homo sapie", "Pan", "Gorilla g"}},
  };
  for (const Case& c : cases) {
    const Alignment a = Read(c.text, InputFormat::kPhylip);
    EXPECT_EQ(a.format, c.format) << c.text;
    EXPECT_EQ(a.interleaved, c.interleaved) << c.text;
    EXPECT_EQ(a.names, c.names) << c.text;
    EXPECT_EQ(a.characters, 8u);
    EXPECT_EQ(a.rows[1], c.text == kRelaxed ? "acgtac-t" : "ACGTAC-T") << c.text;
    EXPECT_EQ(a.rows[2], "ACG?ACGT") << c.text;
  }
  // A match character stands for the first taxon's state.
  EXPECT_EQ(Read("2 4\nA ACGT\nB a.-.\n", InputFormat::kPhylip).rows[1], "aC-T");
}

TEST(PhylipTest, NamedLayoutsReadOnlyThatLayout) {
  EXPECT_EQ(Read(kRelaxed, InputFormat::kPhylipRelaxed).format, InputFormat::kPhylipRelaxed);
  // Read as relaxed, "Homo sapieACGTACGT" would give "Homo" the protein "SAPIEACG" and
  // leave text unread.
  EXPECT_EQ(ReadError(kStrict, InputFormat::kPhylipRelaxed),
            "Cannot read 'in.txt' as relaxed PHYLIP: the names and rows of 3 taxa account for "
            "38 of the 44 non-blank characters after the first line");
  EXPECT_EQ(Read(kStrict, InputFormat::kPhylipStrict).names[0], "Homo sapie");
}

TEST(PhylipTest, ReadsProtein) {
  const Alignment a = Read("2 5\nalpha MKLEW\nbeta  MKLQW\n", InputFormat::kPhylip);
  EXPECT_EQ(a.kind, DataKind::kProtein);
  EXPECT_EQ(RowsOf(a), (Strings{"MKLEW", "MKLQW"}));
}

TEST(PhylipTest, ChecksTheHeaderBeforeReading) {
  EXPECT_EQ(ReadError("200000 10\nA ACGT\n", InputFormat::kPhylip),
            "Cannot read 'in.txt': it declares 200000 taxa; at most 100000 are allowed");
  EXPECT_EQ(ReadError("2 60000000\nA ACGT\n", InputFormat::kPhylip),
            "Cannot read 'in.txt': it declares 60000000 characters; at most 50000000 are "
            "allowed");
  EXPECT_EQ(ReadError("1000 40000\nA ACGT\n", InputFormat::kPhylip),
            "Cannot read 'in.txt': it declares 1000 taxa of 40000 characters, more than its "
            "18 bytes can hold");
  EXPECT_EQ(ReadError("0 4\n", InputFormat::kPhylip),
            "Cannot read 'in.txt' as PHYLIP: it declares no taxa");
  EXPECT_EQ(ReadError("A ACGT\n", InputFormat::kPhylip),
            "Cannot read 'in.txt' as PHYLIP: its first line must hold the numbers of taxa and "
            "characters");
  EXPECT_EQ(ReadError("9999999999999 4\n", InputFormat::kPhylip),
            "Cannot read 'in.txt' as PHYLIP: its first line must hold the numbers of taxa and "
            "characters");
}

TEST(PhylipTest, RefusesRepeatedNames) {
  EXPECT_EQ(ReadError("2 4\nAlpha ACGT\nalpha ACGT\n", InputFormat::kPhylip),
            "Cannot read 'in.txt' as PHYLIP: the taxon name 'ALPHA' is given twice (names are "
            "compared ignoring letter case)");
}

TEST(PhylipTest, ShortRowsAreAnErrorWithThePlace) {
  const std::string error = ReadError("2 6\nAlpha ACGTAC\nBeta ACG\n", InputFormat::kPhylip);
  EXPECT_EQ(error.rfind("Cannot read 'in.txt' as PHYLIP: ", 0), 0u) << error;
  EXPECT_NE(error.find("line"), std::string::npos) << error;
}

// ---- NEXUS

const char kNexus[] =
    "#NEXUS\n"
    "[written by hand]\n"
    "BEGIN TAXA;\n"
    "  DIMENSIONS NTAX=3;\n"
    "  TAXLABELS Homo_sapiens 'Pan tro''s' Gorilla;\n"
    "END;\n"
    "BEGIN CHARACTERS;\n"
    "  DIMENSIONS NCHAR=6;\n"
    "  FORMAT DATATYPE=DNA MISSING=? GAP=- MATCHCHAR=. INTERLEAVE;\n"
    "  MATRIX\n"
    "  Homo_sapiens ACG\n"
    "  'Pan tro''s' ..T\n"
    "  Gorilla      A{CG}G\n"
    "  Homo_sapiens TAC\n"
    "  'Pan tro''s' T-C\n"
    "  Gorilla      TA?\n"
    "  ;\n"
    "END;\n"
    "BEGIN SETS;\n"
    "  CHARSET first = 1-3;\n"
    "  CHARSET odd = 1 3 5;\n"
    "  CHARPARTITION genes = one: 1-3, two: 4-6;\n"
    "  TAXSET apes = 2 3;\n"
    "END;\n"
    "BEGIN TREES;\n"
    "  TREE t = (Homo_sapiens, 'Pan tro''s', Gorilla);\n"
    "END;\n";

TEST(NexusTest, ReadsNamesWithBlanksAsUnderscores) {
  const Alignment a = Read(kNexus, InputFormat::kNexus);
  EXPECT_EQ(a.format, InputFormat::kNexus);
  EXPECT_EQ(a.kind, DataKind::kDna);
  EXPECT_EQ(a.names, (Strings{"Homo_sapiens", "Pan_tro's", "Gorilla"}));
  EXPECT_EQ(a.characters, 6u);
  // Match characters are resolved against the first row; the rest stands as written.
  EXPECT_EQ(RowsOf(a), (Strings{"ACGTAC", "ACTT-C", "A{CG}GTA?"}));
}

TEST(NexusTest, KeepsTheFormatAndTheCharacterSets) {
  const Alignment a = Read(kNexus, InputFormat::kNexus);
  EXPECT_NE(a.nexus_characters.find("FORMAT Datatype=DNA"), std::string::npos)
      << a.nexus_characters;
  EXPECT_EQ(a.nexus_sets,
            "  CHARSET first = 1-3;\n"
            "  CHARSET odd = 1 3 5;\n"
            "  CHARPARTITION genes = one: 1-3, two: 4-6;\n");
}

TEST(NexusTest, ReadsADataBlockAndStandardData) {
  const Alignment a = Read(
      "#nexus\nbegin data; dimensions ntax=2 nchar=4;\n"
      "format datatype=standard symbols=\"012\";\n"
      "charstatelabels 1 colour / red green;\n"
      "matrix\nA 01(12)2\nB 0?10\n;\nend;\n",
      InputFormat::kNexus);
  EXPECT_EQ(a.kind, DataKind::kStandard);
  EXPECT_EQ(a.names, (Strings{"A", "B"}));
  EXPECT_EQ(RowsOf(a), (Strings{"01(12)2", "0?10"}));
  EXPECT_NE(a.nexus_characters.find("colour"), std::string::npos) << a.nexus_characters;
}

// NCL aborts the program on a value such as +2.50 (and leaks what it read): refused first.
TEST(NexusTest, ANumberNclCannotReadIsAnError) {
  EXPECT_EQ(ReadError("#NEXUS\nBEGIN DATA; DIMENSIONS NTAX=3 NCHAR=2; FORMAT "
                      "DATATYPE=CONTINUOUS;\nMATRIX A +2.50 1 B 2 3 C 4 5 ; END;\n",
                      InputFormat::kNexus),
            "Cannot read 'in.txt' as NEXUS: the value '+2.50' (line 3) starts with '+', which "
            "NCL cannot read; write it without the sign");
}

TEST(NexusTest, RefusesWhatCannotBePrunedOrIsTooLarge) {
  EXPECT_EQ(ReadError("#NEXUS\nbegin trees; tree t = (a,b); end;\n", InputFormat::kNexus),
            "Cannot read 'in.txt': it holds no taxa (no TAXA, DATA or CHARACTERS block)");
  EXPECT_EQ(ReadError("#NEXUS\nbegin taxa; dimensions ntax=2; taxlabels A B; end;\n",
                      InputFormat::kNexus),
            "Cannot read 'in.txt': it holds 0 DATA or CHARACTERS blocks; exactly one is needed");
  const std::string two =
      "#NEXUS\nbegin taxa; dimensions ntax=2; taxlabels A B; end;\n"
      "begin characters; dimensions nchar=2; format datatype=dna; matrix A AC B AG; end;\n"
      "begin characters; dimensions nchar=1; format datatype=standard; matrix A 0 B 1; end;\n";
  EXPECT_EQ(ReadError(two, InputFormat::kNexus),
            "Cannot read 'in.txt': it holds 2 DATA or CHARACTERS blocks; exactly one is needed");
  EXPECT_EQ(ReadError("#NEXUS\nbegin data; dimensions ntax=900000 nchar=2;\n", InputFormat::kNexus),
            "Cannot read 'in.txt': it declares 900000 taxa; at most 100000 are allowed");
  // Dimensions inside comments and quoted words do not count.
  const Alignment a = Read(
      "#NEXUS\n[ntax=900000]\nbegin data; dimensions ntax=2 nchar=2;\n"
      "format datatype=dna; matrix A AC 'nchar=999999999' AG; end;\n",
      InputFormat::kNexus);
  EXPECT_EQ(a.names, (Strings{"A", "nchar=999999999"}));
  EXPECT_EQ(ReadError("#NEXUS\nbegin data; dimensions ntax=2 nchar=2; format datatype=dna;\n"
                      "matrix 'a_b' AC a_b AG; end;\n",
                      InputFormat::kNexus),
            "Cannot read 'in.txt': taxa 1 and 2 are both named 'a_b' (NEXUS reads blanks and "
            "underscores alike and ignores letter case)");
  const std::string duplicate = ReadError(
      "#NEXUS\nbegin data; dimensions ntax=2 nchar=2; format datatype=dna;\n"
      "matrix A AC A AG; end;\n",
      InputFormat::kNexus);
  EXPECT_EQ(duplicate.rfind("Cannot read 'in.txt' as NEXUS: ", 0), 0u) << duplicate;
  EXPECT_NE(duplicate.find("(line 3"), std::string::npos) << duplicate;
}

// ---- All formats

TEST(AlignmentTest, SkipsAByteOrderMarkAndRefusesUtf16) {
  EXPECT_EQ(Read("\xEF\xBB\xBF>a\nAC\n>b\nAG\n", InputFormat::kFasta).names, (Strings{"a", "b"}));
  EXPECT_EQ(ReadError(std::string("\xFF\xFE>\0a\0", 6), InputFormat::kFasta),
            "Cannot read 'in.txt' as an alignment: it is UTF-16 text; alignments must be UTF-8");
  EXPECT_EQ(ReadError(">a\n>b\n\n>c\n", InputFormat::kFasta),
            "Cannot read 'in.txt' as FASTA: its sequences hold no characters");
  EXPECT_EQ(ReadError("a\nb\n", InputFormat::kList),
            "Cannot read 'in.txt' as an alignment: it is a name list");
}

// Names beyond ASCII are read whole in every format, and names that differ only there
// stay apart; the rows are kept as they stand.
TEST(AlignmentTest, ReadsNamesBeyondAsciiInEveryFormat) {
  const Strings names{
      "\xC3\xA9"
      "cureuil",
      "\xCE\xB1\xCE\xB2", "M\xC3\xBCller", "M\xC3\xA4ller"};
  std::string fasta, relaxed = "4 4\n", interleaved = "4 8\n";
  for (const std::string& name : names) {
    fasta += ">" + name + "\nACGT\n";
    relaxed += name + " ACGT\n";
    interleaved += name + " ACGT\n";
  }
  interleaved += "\nACGA\nACGA\nACGA\nACGA\n";
  const Alignment a = Read(fasta, InputFormat::kFasta);
  EXPECT_EQ(a.names, names);
  EXPECT_EQ(a.rows[2], ">M\xC3\xBCller\nACGT\n");
  EXPECT_EQ(Read(relaxed, InputFormat::kPhylip).names, names);
  const Alignment i = Read(interleaved, InputFormat::kPhylip);
  EXPECT_EQ(i.names, names);
  EXPECT_EQ(i.rows[3], "ACGTACGA");
  // A byte beyond ASCII in a row is still refused.
  EXPECT_NE(ReadError(">a\nAC\xC3\xA9T\n>b\nACGT\n", InputFormat::kFasta), "");
  // Blank lines before the header are allowed.
  EXPECT_EQ(Read("\n\n2 4\nA ACGT\nB ACGA\n", InputFormat::kPhylip).names, (Strings{"A", "B"}));
}

TEST(AlignmentTest, RefusesNamesWithTabs) {
  // A tab may part a FASTA name's first word from a description, but a whole line that
  // names a taxon cannot hold one.
  EXPECT_EQ(Read(">a\tb\nAC\n>c\nAG\n", InputFormat::kFasta).names, (Strings{"a", "c"}));
  ReadingOptions whole;
  whole.fasta_names = FastaNames::kWholeLine;
  EXPECT_EQ(
      ErrorOf([&] { ReadAlignment(">a\tb\nAC\n>c\nAG\n", InputFormat::kFasta, "in.txt", whole); }),
      "Cannot read 'in.txt': the name of taxon 1 ('a\\tb') holds a tab or line break");
  EXPECT_EQ(ReadError(std::string(">a\0b\nAC\n>c\nAG\n", 14), InputFormat::kFasta),
            "Cannot read 'in.txt': the name of sequence 1 ('a\\x00b') holds a control character");
}

// NCL reads a text a few taxa at a time to bound its memory: one taxon a chunk here,
// which must give exactly what reading the whole text gives, for every layout.
TEST(AlignmentTest, ReadingAChunkOfTaxaAtATimeGivesTheWholeReading) {
  const std::string nexus_dna =
      "#NEXUS\n[a comment]\nBEGIN DATA;\n DIMENSIONS NTAX=3 NCHAR=8;\n"
      " FORMAT DATATYPE=DNA MISSING=? GAP=- MATCHCHAR=.;\n MATRIX\n"
      "  Homo_sapiens ACGTAC-T\n  Pan [in a row] ..GA.{CG}.T\n  'Go''rilla' A?GTACGT\n;\nEND;\n"
      "BEGIN SETS;\n CHARSET first = 1-4;\n CHARPARTITION halves = a: 1-4, b: 5-8;\nEND;\n";
  const std::string nexus_taxa =
      "#NEXUS\nBEGIN TAXA;\n DIMENSIONS NTAX=3;\n TAXLABELS 'Homo sapiens' Pan Gorilla;\nEND;\n"
      "BEGIN CHARACTERS;\n DIMENSIONS NCHAR=4;\n FORMAT DATATYPE=STANDARD SYMBOLS=\"012\";\n"
      " CHARSTATELABELS 1 wings / absent present, 2 legs;\n MATRIX\n"
      "  Gorilla 0(12)10\n  'Homo sapiens' 0110\n  Pan 1?10\n;\nEND;\n";
  const std::string nexus_interleaved =
      "#NEXUS\nBEGIN DATA;\n DIMENSIONS NTAX=3 NCHAR=8;\n FORMAT DATATYPE=DNA GAP=- INTERLEAVE "
      "MATCHCHAR=.;\n MATRIX\n  a ACGT\n  b ..G.\n  c ACGA\n\n  a AC-T\n  b AC.T\n  c "
      "AAAA\n;\nEND;\n";
  const std::string nexus_continuous =
      "#NEXUS\nBEGIN DATA;\n DIMENSIONS NTAX=3 NCHAR=3;\n FORMAT DATATYPE=CONTINUOUS;\n MATRIX\n"
      "  a 3.14159265358979 1e400 -0\n  b 0.5   2.50 ?\n  c 1 2 3\n;\nEND;\n";
  const std::string nexus_nolabels =
      "#NEXUS\nBEGIN TAXA;\n DIMENSIONS NTAX=2;\n TAXLABELS x y;\nEND;\nBEGIN CHARACTERS;\n"
      " DIMENSIONS NCHAR=4;\n FORMAT DATATYPE=PROTEIN GAP=- NOLABELS;\n MATRIX\n  MKLE\n  "
      "MKL-\n;\nEND;\n";
  // A match character copies the taxon whose row comes first, whatever the TAXA block's
  // order.
  const std::string nexus_matched =
      "#NEXUS\nBEGIN TAXA; DIMENSIONS NTAX=3; TAXLABELS a b c; END;\nBEGIN CHARACTERS;\n"
      " DIMENSIONS NCHAR=4; FORMAT DATATYPE=DNA MATCHCHAR=.; MATRIX\n"
      "b ACGT\na ..GA\nc .TGT\n;\nEND;\n";
  EXPECT_EQ(RowsOf(Read(nexus_matched, InputFormat::kNexus)), (Strings{"ACGA", "ACGT", "ATGT"}));
  const struct {
    std::string text;
    InputFormat format;
  } cases[] = {
      {">Alpha first\r\nACGTa\r\ncg\r\n>Beta\nACG-?NN\n\n>Gamma\nRYKMACG", InputFormat::kFasta},
      {">a\nMKLEWF\n>b\nMKLQ-X\n>c\nMKLQ-X\n", InputFormat::kFasta},
      {">\xC3\xA9"
       "cureuil\nACGT\n>M\xC3\xBCller\nACGA\n>b\nAC-T\n",
       InputFormat::kFasta},
      {"3 8\nA ACGTACGT\nB ..GT.C-T\nC ACG?AC\n  GT\n", InputFormat::kPhylip},
      {"3 4\nHomo sapieACGT\nPan       AC-T\nGorilla   ACGA\n", InputFormat::kPhylip},
      {"3 8\nA ACGT\nB ACGA\nC AC-T\n\nACGT\nAC.T\nACGA\n", InputFormat::kPhylip},
      {"3 8\nHomo sapieACGT\nPan       ACGA\nGorilla   AC-T\n\nACGT\nAC.T\nACGA\n",
       InputFormat::kPhylip},
      {"2 4\nM\xC3\xBCller ACGT\n\xCE\xB1\xCE\xB2 AC-T\n", InputFormat::kPhylip},
      {nexus_dna, InputFormat::kNexus},
      {nexus_taxa, InputFormat::kNexus},
      {nexus_interleaved, InputFormat::kNexus},
      // NCL cannot read this interleaved matrix with one taxon alone.
      {"#NEXUS\nBEGIN DATA; DIMENSIONS NTAX=3 NCHAR=4; FORMAT DATATYPE=DNA MISSING=? "
       "INTERLEAVE;\nMATRIX\n"
       "a GN?\nb NTT\nc ACG\n\na N\nb G\nc T\n;\nEND;\n",
       InputFormat::kNexus},
      {nexus_continuous, InputFormat::kNexus},
      {nexus_nolabels, InputFormat::kNexus},
      {nexus_matched, InputFormat::kNexus},
  };
  for (const auto& c : cases) {
    const Alignment whole = ReadAlignment(c.text, c.format, "in.txt", {Reading::kWhole, 0});
    for (const std::size_t cells : {std::size_t{1}, std::size_t{0}}) {
      Alignment chunks;
      try {
        chunks = ReadAlignment(c.text, c.format, "in.txt", {Reading::kChunksOnly, cells});
      } catch (const RuntimeError& e) {
        ADD_FAILURE() << e.what() << "\n" << c.text;
        continue;
      }
      EXPECT_EQ(chunks.format, whole.format) << c.text;
      EXPECT_EQ(chunks.interleaved, whole.interleaved) << c.text;
      EXPECT_EQ(chunks.kind, whole.kind) << c.text;
      EXPECT_EQ(chunks.names, whole.names) << c.text;
      EXPECT_EQ(chunks.characters, whole.characters) << c.text;
      EXPECT_EQ(RowsOf(chunks), RowsOf(whole)) << c.text;
      EXPECT_EQ(chunks.nexus_characters, whole.nexus_characters) << c.text;
      EXPECT_EQ(chunks.nexus_sets, whole.nexus_sets) << c.text;
    }
  }
  // Texts that would read in chunks but not whole keep the whole reading's message: a row
  // that ends inside a word ("T" of "T2"), a match character in the first row (not the
  // TAXA block's first taxon).
  const struct {
    std::string text;
    InputFormat format;
  } broken[] = {
      {"3 4\nA ACG\nT2 ACGT\nC ACGT\n", InputFormat::kPhylip},
      {"#NEXUS\nBEGIN TAXA; DIMENSIONS NTAX=2; TAXLABELS a b; END;\nBEGIN CHARACTERS;\n"
       " DIMENSIONS NCHAR=3; FORMAT DATATYPE=DNA MATCHCHAR=.; MATRIX\nb .CA\na ACA\n;\nEND;\n",
       InputFormat::kNexus},
  };
  for (const auto& b : broken) {
    const std::string whole_error = ErrorOf([&] {
      ReadAlignment(b.text, b.format, "in.txt", {Reading::kWhole, 0});
    });
    EXPECT_NE(whole_error, "(no error)");
    for (const std::size_t cells : {std::size_t{0}, std::size_t{1}}) {
      EXPECT_EQ(ErrorOf([&] {
                  ReadAlignment(b.text, b.format, "in.txt", {{}, cells});
                }),
                whole_error);
    }
  }
}

}  // namespace
}  // namespace dk
