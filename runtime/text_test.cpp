#include "runtime/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/errors.h"
#include "base/utf8.h"
#include "runtime/file_table.h"
#include "testing/allocation_count.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;

std::string Sprintf(const char* format, std::initializer_list<Value> args = {}) {
  return mlfSprintf(Value::Text(format), args).utf8();
}

TEST(Sprintf, ConversionsAndLineBreaks) {
  EXPECT_EQ(Sprintf("File %s loaded with %i names", {Value::Text("a.txt"), Value::Scalar(3)}),
            "File a.txt loaded with 3 names");
  EXPECT_EQ(
      Sprintf("%s : %i:%i\\n", {Value::Text("2026-12-07"), Value::Scalar(9), Value::Scalar(5)}),
      "2026-12-07 : 9:5\n");
  EXPECT_EQ(Sprintf("seed %f", {Value::Scalar(42)}), "seed 42.000000");
  EXPECT_EQ(Sprintf("%f %f", {Value::Scalar(-7), Value::Scalar(3.25)}), "-7.000000 3.250000");
  EXPECT_EQ(Sprintf("%f", {Value::Scalar(9007199254740992.0)}), "9007199254740992.000000");
  EXPECT_EQ(Sprintf("%i%%", {Value::Scalar(100)}), "100%");
  EXPECT_EQ(Sprintf("%i", {Value::Scalar(-0.0)}), "0");
  EXPECT_EQ(Sprintf("%i %i %f", {Value::Scalar(2.5), Value::Scalar(INFINITY), Value::Scalar(NAN)}),
            "2.5 Inf NaN");
  EXPECT_EQ(Sprintf("a\\tb\\\\n"), "a\\tb\\\n");  // only backslash-n is an escape
}

TEST(Sprintf, InsertedTextIsNeverInterpreted) {
  const Value name = Value::Text("100% %s \\n\xFF\xFE");
  EXPECT_EQ(mlfSprintf(Value::Text("\\n%s"), {name}).utf8(), "\n100% %s \\n\xFF\xFE");
}

TEST(Sprintf, ArgumentsRunOutOrRepeatTheFormat) {
  EXPECT_EQ(Sprintf("a %i b %i c", {Value::Scalar(1)}), "a 1 b ");
  EXPECT_EQ(Sprintf("<%i>", {Value::Row({1, 2, 3})}), "<1><2><3>");
  EXPECT_EQ(Sprintf("no conversions", {Value::Scalar(1)}), "no conversions");
  EXPECT_EQ(Sprintf("%s", {Value::Scalar(0.1)}), "0.1");
  EXPECT_EQ(ErrorOf([&] { Sprintf("%x", {Value::Scalar(1)}); }),
            "sprintf: unsupported conversion '%x' in the format");
  EXPECT_EQ(ErrorOf([&] { Sprintf("%"); }), "sprintf: the format ends with a lone '%'");
  EXPECT_EQ(ErrorOf([&] { mlfSprintf(Value::Scalar(1)); }), "sprintf: the format must be a text");
}

TEST(Str2num, ReadsNumbersAndRejectsEverythingElse) {
  const auto read = [](const char* s) { return mlfStr2num(Value::Text(s)); };
  EXPECT_EQ(read(" 42 ").num(0), 42);
  EXPECT_EQ(read("-7").num(0), -7);
  EXPECT_EQ(read("+3.25").num(0), 3.25);
  EXPECT_EQ(read("9007199254740992").num(0), 9007199254740992.0);
  EXPECT_EQ(read(".5e1").num(0), 5);
  EXPECT_TRUE(std::isinf(read("1e400").num(0)));
  EXPECT_EQ(read("1e-400").num(0), 0);
  // Out of range by the number of digits, not by an exponent: still Inf or 0, never 0
  // for a huge number.
  const std::string huge = "1" + std::string(309, '0');
  EXPECT_EQ(read(huge.c_str()).num(0), INFINITY);
  EXPECT_EQ(read(("-" + huge + ".5").c_str()).num(0), -INFINITY);
  EXPECT_EQ(read(("0." + std::string(400, '0') + "1").c_str()).num(0), 0);
  EXPECT_EQ(read(("0.000" + huge + "e-400").c_str()).num(0), 0);
  EXPECT_EQ(read(("0." + std::string(330, '0') + "1e400").c_str()).num(0), 1e69);
  EXPECT_TRUE(std::isnan(read("NaN").num(0)));
  EXPECT_EQ(read("-inf").num(0), -INFINITY);
  const Value pair = read("3 4");
  EXPECT_EQ(pair.cols(), 2u);
  EXPECT_EQ(read("1,2").cols(), 2u);
  for (const char* bad : {"", "  ", "abc", "3x", "1e", "--1", ".", "4 five", "0x10"}) {
    EXPECT_TRUE(read(bad).empty()) << bad;
  }
  EXPECT_TRUE(mlfStr2num(Value::Scalar(3)).empty());
}

TEST(Strcat, DropsTheEndOfLineOfEachPieceAndKeepsEveryLine) {
  Value t = Value::Text("head ");
  t = mlfStrcat(std::move(t), Value::Text("\nname\r\n "));
  t = mlfStrcat(std::move(t), Value::Text("\n\u00e9 \n"));
  EXPECT_EQ(t.utf8(), "head \nname\n\xC3\xA9");
  // A piece that is only a line break (a blank name) still adds its line, and keeps it
  // when the next piece is joined.
  t = mlfStrcat(std::move(t), Value::Text("\n\n "));
  t = mlfStrcat(std::move(t), Value::Text("\n  indented  \n "));
  EXPECT_EQ(t.utf8(), "head \nname\n\xC3\xA9\n\n  indented");
  EXPECT_EQ(mlfStrcat(Value::Text("  "), Value::Text(" \n")).utf8(), "  ");
  EXPECT_EQ(mlfStrcat(Value::Text(""), Value::Text("\n\n")).utf8(), "\n");
  EXPECT_EQ(mlfStrcat(Value::Text(" a"), Value::Text(" b")).utf8(), " a b");
  EXPECT_EQ(ErrorOf([] { mlfStrcat(Value::Text("a"), Value::Scalar(1)); }),
            "strcat: cannot join a double");
  EXPECT_EQ(ErrorOf([] { mlfStrcat(Value::CharMatrix(2, 1, u"ab"), Value::Text("c")); }),
            "strcat: cannot join a text of several rows");
}

TEST(Strcat, JoiningNeverCopiesTheTextBuiltSoFar) {
  // Ten thousand joins onto a text of a quarter megabyte: copying the text at each join
  // would allocate gigabytes; appending in place allocates a small multiple of the result.
  Value t = Value::Text(std::string(256 * 1024, 'x'));
  const Value piece = Value::Text("\nGenus_species_123 ");
  const test::AllocationCount allocations;
  for (int i = 0; i < 10000; ++i) t = mlfStrcat(std::move(t), piece);
  EXPECT_EQ(t.numel(), 256u * 1024 + 10000 * 18);
  EXPECT_LT(allocations.bytes(), 4 * t.numel() + (1u << 20));
}

TEST(Strcat, NeverChangesAnotherHoldersText) {
  Value t = Value::Text("start");
  t = mlfStrcat(std::move(t), Value::Text("x"));
  const Value before = t;
  t = mlfStrcat(std::move(t), Value::Text("y"));
  EXPECT_EQ(before.utf8(), "startx");
  EXPECT_EQ(t.utf8(), "startxy");
}

TEST(Display, ConsoleForms) {
  test::TestEnv env;
  mclPrintArray(Value::Scalar(3), "numcount");
  mclPrintArray(Value::Empty(), "numcount");
  mclPrintArray(Value::Row({1, 2.5}), "newpos");
  mlfDisp(Value::Text("OutBox Callback not implemented yet."));
  mclPrintAns(Value());
  EXPECT_EQ(env.out,
            "numcount = 3\nnumcount = []\nnewpos = 1  2.5\nOutBox Callback not implemented yet.\n");
}

TEST(Utf8, InvalidSequencesBecomeEscapeUnitsAndComeBack) {
  const std::string bytes("\x80\xC3(\xE0\x80\x80\xED\xA0\x80\xF4\x90\x80\x80\xF0\x9F\x98\x80", 17);
  const std::u16string units = DecodeUtf8(bytes);
  EXPECT_EQ(units[0], 0xDC80);
  EXPECT_EQ(units[1], 0xDCC3);
  EXPECT_EQ(units[2], u'(');
  EXPECT_EQ(units.substr(units.size() - 2), u"\U0001F600");
  EXPECT_EQ(EncodeUtf8(units), bytes);
  // A lone surrogate that is not an escape unit is kept as a 3-byte sequence.
  EXPECT_EQ(EncodeUtf8(std::u16string(1, char16_t(0xD801))), "\xED\xA0\x81");
}

// ---- Formats with one conversion take a shorter way; it gives what the general one gives.

// Texts of every storage and content a name list can hold.
std::vector<Value> NameLikeTexts() {
  std::vector<Value> texts = {
      Value::Text("Genus_species_123\n"),
      Value::Text("100% %s %i \\n %%\n"),
      Value::Text(std::string_view("bad \xFF\xFE bytes \xC3\n")),  // escape units
      Value::Text("caf\xC3\xA9\n"),                                // units below 256
      Value::Text(u"\u4E2D\u6587 \U0001F600\n"),                   // wide, a surrogate pair
      Value::Text(std::u16string(u"lone \xD800 high") + u"\n"),
      Value::Text(std::u16string(1, char16_t(0xDBFF))),  // a lone high unit last
      Value::Text(std::string("nul\0inside\n", 11)),
      Value::Text("  \t blanks \t \n"),
      Value::Text("\n"),
      Value::Text("no line break"),
      Value::EmptyText(),
  };
  // And a list read from a UTF-16 file, as Load reads it.
  return texts;
}

// Each format the listings use, and others of one conversion.
const char* const kOneConversionFormats[] = {
    "\\n%s",
    "\\n%s ",
    "\\n***  Repetition %i  *****************************",
    "%s : %i:%i\\n",  // three conversions: the general way
    "%d",
    "<%f>",
    "100%% %s",  // a percent sign besides: the general way
    "%s",
    "",
};

TEST(FormatShortcut, GivesTheSameUnitsAndBytesAsTheGeneralRules) {
  std::vector<Value> args = NameLikeTexts();
  for (const double x :
       {0.0, -0.0, 1.0, 1000.0, 4294967295.0, 2.5, -7.25, 1e300, double(INFINITY), double(NAN)}) {
    args.push_back(Value::Scalar(x));
  }
  args.push_back(Value::Bool(true));
  args.push_back(Value::Row({1, 2}));   // two items: the general way
  args.push_back(Value::Matrix(1, 0));  // no item
  args.push_back(Value::CharMatrix(2, 2, u"abcd"));
  for (const char* f : kOneConversionFormats) {
    const Value format = Value::Text(f);
    for (std::size_t i = 0; i < args.size(); ++i) {
      SCOPED_TRACE(std::string(f) + " with argument " + std::to_string(i));
      // Twice each: the first call compiles the format, the second finds it compiled.
      for (int round = 0; round < 2; ++round) {
        const Value fast = mlfSprintf(format, {args[i]});
        const Value general = SprintfByTheGeneralRules(format, {args[i]});
        EXPECT_EQ(fast.units(), general.units());
        EXPECT_EQ(fast.rows(), general.rows());
        EXPECT_EQ(fast.cols(), general.cols());
        EXPECT_EQ(fast.narrow(), general.narrow());
        EXPECT_EQ(fast.ascii(), general.ascii());
        std::string fast_bytes = ">", general_bytes = ">";
        FormatUtf8(format, {args[i]}, fast_bytes);
        FormatUtf8ByTheGeneralRules(format, {args[i]}, general_bytes);
        EXPECT_EQ(fast_bytes, general_bytes);
      }
    }
  }
}

// A file gets, for every format and argument, the bytes of the general rules, whichever
// way its writer takes, also as the formats change from call to call as a listing's do.
TEST(FormatShortcut, AFileGetsTheBytesOfTheGeneralRules) {
  std::vector<Value> args = NameLikeTexts();
  args.push_back(Value::Scalar(12));
  args.push_back(Value::CharMatrix(2, 2, u"abcd"));
  args.push_back(Value::Text(std::string(300000, 'x')));  // larger than a block
  test::TempDir dir;
  const std::string path = dir.file("out.txt");
  const Value fid = mlfFopen(Value::Text(path), Value::Text("wt"));
  std::string expected;
  for (int round = 0; round < 3; ++round) {
    for (const char* f : kOneConversionFormats) {
      const Value format = Value::Text(f);
      for (const Value& arg : args) {
        mlfNFprintf(0, fid, format, {arg});
        FormatUtf8ByTheGeneralRules(format, {arg}, expected);
      }
    }
  }
  mlfFclose(fid);
  EXPECT_TRUE(test::ReadFile(path) == expected);
}

TEST(FormatShortcut, ErrorsAreThoseOfTheGeneralRules) {
  const Value name = Value::Text("\\n%s");
  EXPECT_EQ(ErrorOf([&] { mlfSprintf(name, {Value::Cell(0, 0)}); }),
            "sprintf: cannot format a cell argument");
  EXPECT_EQ(ErrorOf([&] { mlfSprintf(name, {Value()}); }), "sprintf: an argument has no value");
  EXPECT_EQ(ErrorOf([] { mlfSprintf(Value::Text("%q"), {Value::Text("x")}); }),
            "sprintf: unsupported conversion '%q' in the format");
  EXPECT_EQ(ErrorOf([] { mlfSprintf(Value::Text("50%"), {Value::Text("x")}); }),
            "sprintf: the format ends with a lone '%'");
}

TEST(FormatShortcut, AFormatChangedInPlaceIsReadAnew) {
  // The compiled forms are found by the format's array; a changed text is another array.
  Value format = Value::Text("<%s");
  EXPECT_EQ(mlfSprintf(format, {Value::Text("a")}).utf8(), "<a");
  format.append_text(u">");
  EXPECT_EQ(mlfSprintf(format, {Value::Text("a")}).utf8(), "<a>");
  format.append_text(u"%s");
  EXPECT_EQ(mlfSprintf(format, {Value::Text("a")}).utf8(), "<a>");
}

TEST(Strcat, TextsOfBytesAndOfWideUnitsJoinAlike) {
  // The listing's pieces in bytes, and the same pieces forced to 16-bit units.
  for (const Value& name : NameLikeTexts()) {
    const Value piece = mlfSprintf(Value::Text("\\n%s "), {name});
    Value bytes = Value::Text("head");
    bytes = mlfStrcat(std::move(bytes), piece);
    Value wide = Value::Text(u"head\u0100");
    wide = mlfStrcat(std::move(wide), piece);
    EXPECT_EQ(bytes.units(), u"head" + wide.units().substr(5));
    EXPECT_EQ(mlfStrcat(Value::EmptyText(), piece).units(), bytes.units().substr(4));
  }
}

}  // namespace
}  // namespace dk
