#include "runtime/value.h"

#include <gtest/gtest.h>

#include <string>

#include "base/errors.h"
#include "testing/test_support.h"

namespace dk {
namespace {

using test::ErrorOf;

TEST(Value, AbsentAndUnassignedAreDistinct) {
  const Value absent;
  const Value marker = Value::Unassigned();
  EXPECT_TRUE(absent.absent());
  EXPECT_FALSE(absent.unassigned());
  EXPECT_FALSE(marker.absent());
  EXPECT_TRUE(marker.unassigned());
  EXPECT_EQ(marker.class_id(), ClassId::kUnassigned);
  EXPECT_EQ(static_cast<int>(marker.class_id()), 0);
}

TEST(Value, CopiesShareUntilOneIsChanged) {
  Value a = Value::Row({1, 2, 3});
  Value b = a;
  EXPECT_TRUE(a.same_array(b));
  b.set_num(1, 20);
  EXPECT_FALSE(a.same_array(b));
  EXPECT_EQ(a.num(1), 2);
  EXPECT_EQ(b.num(1), 20);

  Value cell = Value::Cell(1, 2);
  cell.mutable_cell(0) = Value::Text("x");
  Value copy = cell;
  copy.mutable_cell(0) = Value::Text("y");
  EXPECT_EQ(cell.cell(0).utf8(), "x");
  EXPECT_EQ(copy.cell(0).utf8(), "y");

  Value s = Value::Struct();
  s.set_field("b", Value::Scalar(1));
  Value t = s;
  t.set_field("a", Value::Scalar(2));
  EXPECT_EQ(s.field_names(), std::vector<std::string>{"b"});
  EXPECT_EQ(t.field_names(), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(ErrorOf([&] { s.field("a"); }), "Reference to non-existent field 'a'");
}

TEST(Value, TextsKeepEveryUnit) {
  const Value ascii = Value::Text("abc");
  EXPECT_EQ(ascii.rows(), 1u);
  EXPECT_EQ(ascii.cols(), 3u);
  const Value wide = Value::Text(u"a\u00e9\u4e2d\0z");
  EXPECT_EQ(wide.numel(), 3u);  // the literal stops at the NUL
  const std::u16string with_nul(u"a\0b", 3);
  EXPECT_EQ(Value::Text(std::u16string_view(with_nul)).units(), with_nul);
  EXPECT_EQ(Value::Text(u"\u4e2d").utf8(), "\xE4\xB8\xAD");
  EXPECT_EQ(Value::Text("").rows(), 0u);
  EXPECT_TRUE(Value::Text("").is_char());
}

TEST(Value, NarrowTextsKnowWhetherTheyArePlainAscii) {
  EXPECT_EQ(Value::NarrowText("caf\xE9").utf8(), "caf\xC3\xA9");  // a Latin-1 byte is U+00E9
  EXPECT_FALSE(Value::NarrowText("caf\xE9").ascii());
  EXPECT_TRUE(Value::NarrowText("cafe").ascii());
  Value t = Value::AsciiText("ab");
  t.append_text(u"\u00e9");
  EXPECT_FALSE(t.ascii());
  EXPECT_EQ(t.utf8(), "ab\xC3\xA9");
  Value copy = t;
  copy.append_text(u"x");  // a shared text is copied before it grows
  EXPECT_EQ(copy.utf8(), "ab\xC3\xA9x");
  EXPECT_EQ(t.utf8(), "ab\xC3\xA9");
}

TEST(Value, AppendedTextSwitchesToWideStorageWhenNeeded) {
  Value t = Value::Text("ab");
  Value shared = t;
  t.append_text(u"c");
  t.append_text(u"\u4e2d");
  t.append_text(u"d");
  EXPECT_EQ(t.units(), u"abc\u4e2dd");
  EXPECT_EQ(shared.units(), u"ab");
  Value empty = Value::EmptyText();
  empty.append_text(u"x");
  EXPECT_EQ(empty.rows(), 1u);
  EXPECT_EQ(empty.units(), u"x");
}

TEST(Value, ArraysTooLargeRaiseAndHoldNothing) {
  // Under the leak checker a cell or text half made before the size check would show.
  EXPECT_EQ(ErrorOf([&] { Value::Cell(std::size_t{1} << 20, std::size_t{1} << 20); }),
            "Out of memory: an array of 1048576 by 1048576 elements is too large");
  EXPECT_EQ(ErrorOf([&] { Value::Matrix(std::size_t{1} << 33, 1); }),
            "Out of memory: an array of 8589934592 by 1 elements is too large");
  EXPECT_EQ(ErrorOf([&] { Value::CharMatrix(std::size_t{1} << 16, std::size_t{1} << 16, u"x"); }),
            "Out of memory: an array of 65536 by 65536 elements is too large");
}

TEST(Value, CellsGrowAsRowsOrColumns) {
  Value row = Value::Cell(0, 0);
  row.cell_resize(3);
  EXPECT_EQ(row.rows(), 1u);
  EXPECT_EQ(row.cols(), 3u);
  EXPECT_TRUE(row.cell(2).is_numeric() && row.cell(2).empty());
  Value column = Value::Cell(2, 1);
  column.cell_resize(4);
  EXPECT_EQ(column.rows(), 4u);
  EXPECT_EQ(column.cols(), 1u);
  Value grid = Value::Cell(2, 2);
  EXPECT_EQ(ErrorOf([&] { grid.cell_resize(5); }),
            "Index exceeds the dimensions of a 2-by-2 cell array");
}

TEST(Value, RejectsInconsistentShapes) {
  EXPECT_EQ(ErrorOf([&] {
              Value::Matrix(2, 2, {1, 2, 3});
            }),
            "Internal error: 3 numbers given for a 2-by-2 matrix");
  EXPECT_EQ(ErrorOf([&] { Value::CharMatrix(2, 2, u"abc"); }),
            "Internal error: character data does not fill a 2-by-2 array");
  EXPECT_EQ(ErrorOf([&] { Value::Matrix(1u << 20, 1u << 20); }),
            "Out of memory: an array of 1048576 by 1048576 elements is too large");
  EXPECT_EQ(Value::LogicalMatrix(1, 2, {0, 5}).num(1), 1);
}

// A producer's texts are made in one array while no one holds the last; a text someone
// holds never changes, whatever is made after it.
TEST(TextScratch, NeverChangesATextSomeoneHolds) {
  TextScratch scratch;
  Value line = scratch.Make("alpha\n", true);
  const Value held = line;
  line = scratch.Make("b\xE9ta\n", false);  // made elsewhere: `held` still holds the first
  EXPECT_EQ(held.utf8(), "alpha\n");
  EXPECT_TRUE(held.ascii());
  EXPECT_EQ(line.units(), u"b\u00e9ta\n");
  EXPECT_FALSE(line.ascii());
  EXPECT_TRUE(line.narrow());
  line = Value();
  for (const std::string& text : {std::string("gamma"), std::string(300, 'x'), std::string("d")}) {
    const Value made = scratch.Make(text, true);
    EXPECT_EQ(made.utf8(), text);
    EXPECT_EQ(made.rows(), 1u);
    EXPECT_EQ(made.cols(), text.size());
  }
  const Value none = scratch.Make("", true);
  EXPECT_EQ(none.rows(), 0u);
  EXPECT_EQ(none.cols(), 0u);
  EXPECT_TRUE(none.is_char());
  // A change through a copy leaves the scratch's next text alone, and the other way round.
  Value changed = scratch.Make("epsilon", true);
  Value copy = changed;
  copy.append_text(u"!");
  const Value next = scratch.Make("zeta", true);
  EXPECT_EQ(changed.utf8(), "epsilon");
  EXPECT_EQ(copy.utf8(), "epsilon!");
  EXPECT_EQ(next.utf8(), "zeta");
  // A copy of a scratch starts on its own.
  TextScratch other = scratch;
  EXPECT_EQ(other.Make("eta", true).utf8(), "eta");
  EXPECT_EQ(next.utf8(), "zeta");
}

}  // namespace
}  // namespace dk
