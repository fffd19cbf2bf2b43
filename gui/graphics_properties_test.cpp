#include "gui/graphics_properties.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/errors.h"
#include "gui/graphics.h"
#include "testing/test_support.h"

namespace dk::internal {
namespace {

using dk::test::ErrorOf;
using dk::test::Numbers;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr Rgb kGrey{0.5, 0.25, 0.75};

const Property& Named(const std::vector<Property>& props, const char* name) {
  const Property* p = FindProperty(props, name);
  if (p == nullptr) ADD_FAILURE() << "no property " << name;
  return *p;
}

Value Check(const char* type, const char* property, const Value& v) {
  const std::vector<Property> props = DefaultProperties(type, kGrey, 9);
  return CheckedValue(Named(props, property), type, v);
}

std::string CheckError(const char* type, const char* property, const Value& v) {
  return ErrorOf([&] { Check(type, property, v); });
}

TEST(PropertyNames, MatchInAnyLetterCaseAndNothingElse) {
  EXPECT_TRUE(SamePropertyName("BackgroundColor", "backgroundcolor"));
  EXPECT_TRUE(SamePropertyName("TAG", "tag"));
  EXPECT_TRUE(SamePropertyName("", ""));
  EXPECT_FALSE(SamePropertyName("Tag", "Tags"));
  EXPECT_FALSE(SamePropertyName("Tags", "Tag"));
  EXPECT_FALSE(SamePropertyName("Tag", ""));
  // Only letters fold: '@' and '`', '[' and '{' differ by the same bit as a letter's case.
  EXPECT_FALSE(SamePropertyName("@", "`"));
  EXPECT_FALSE(SamePropertyName("[", "{"));
}

TEST(PropertySchema, EachTypeHasTheCommonPropertiesOnce) {
  for (const char* type : {"figure", "uicontrol", "uimenu"}) {
    SCOPED_TRACE(type);
    const std::vector<Property> props = DefaultProperties(type, kGrey, 9);
    for (const char* name :
         {"Type", "Parent", "Children", "Tag", "Visible", "HandleVisibility", "UserData"}) {
      EXPECT_NE(FindProperty(props, name), nullptr) << name;
    }
    // No name twice, in any letter case: the second could never be read.
    for (std::size_t i = 0; i < props.size(); ++i) {
      for (std::size_t j = i + 1; j < props.size(); ++j) {
        EXPECT_FALSE(SamePropertyName(props[i].name, props[j].name)) << props[i].name;
      }
    }
  }
  EXPECT_EQ(DefaultProperties("uimenu", kGrey, 9).size(), 7u);
  EXPECT_EQ(FindProperty(DefaultProperties("figure", kGrey, 9), "String"), nullptr);
  const std::vector<Property> root = RootProperties();
  EXPECT_EQ(Named(root, "CurrentFigure").computed, Computed::kCurrentFigure);
  EXPECT_EQ(Named(root, "Units").value.utf8(), "pixels");
}

TEST(PropertySchema, DefaultsFollowTheWindowSystemsFacts) {
  const std::vector<Property> figure = DefaultProperties("figure", kGrey, 9);
  EXPECT_THAT(Numbers(Named(figure, "Color").value), ElementsAre(0.5, 0.25, 0.75));
  const std::vector<Property> control = DefaultProperties("uicontrol", kGrey, 9);
  EXPECT_EQ(Named(control, "FontSize").value.num(0), 9);
  EXPECT_THAT(Numbers(Named(control, "BackgroundColor").value), ElementsAre(0.5, 0.25, 0.75));
  // The rectangles are the ones kept in pixels; nothing else is.
  for (const std::vector<Property>* props : {&figure, &control}) {
    for (const Property& p : *props) {
      EXPECT_EQ(IsRectangle(p.computed), p.name == "Position" || p.name == "OuterPosition")
          << p.name;
    }
  }
}

TEST(PropertyChecks, ChoicesAreStoredAsListedAndErrorsListThem) {
  EXPECT_EQ(Check("uicontrol", "Style", Value::Text("EDIT")).utf8(), "edit");
  EXPECT_EQ(Check("figure", "units", Value::Text("Normalized")).utf8(), "normalized");
  EXPECT_EQ(CheckError("uicontrol", "HandleVisibility", Value::Text("maybe")),
            "Invalid value for property \"HandleVisibility\" of a uicontrol object: expected "
            "\"on\", \"off\" or \"callback\"");
  // A choice is one row of text: not a number, not two rows, not a prefix.
  EXPECT_THAT(CheckError("figure", "Visible", Value::Scalar(1)), HasSubstr("\"on\" or \"off\""));
  EXPECT_THAT(CheckError("figure", "Visible", Value::CharMatrix(2, 2, u"oonn")),
              HasSubstr("expected"));
  EXPECT_THAT(CheckError("figure", "Visible", Value::Text("o")), HasSubstr("expected"));
}

TEST(PropertyChecks, TextsAcceptOneRowOrAnEmptyMatrix) {
  const Value empty = Check("figure", "Name", Value::Empty());
  EXPECT_TRUE(empty.is_char());
  EXPECT_TRUE(empty.empty());
  EXPECT_EQ(Check("figure", "Tag", Value::Text("Main")).utf8(), "Main");
  EXPECT_THAT(CheckError("figure", "Tag", Value::CharMatrix(2, 1, u"ab")), HasSubstr("a text"));
  EXPECT_THAT(CheckError("figure", "Tag", Value::Scalar(3)), HasSubstr("a text"));
  // "String" takes several rows, or a cell of texts (empty elements too).
  EXPECT_EQ(Check("uicontrol", "String", Value::CharMatrix(2, 1, u"ab")).rows(), 2u);
  Value lines = Value::Cell(1, 2);
  lines.mutable_cell(0) = Value::Text("one");
  lines.mutable_cell(1) = Value::Empty();
  EXPECT_TRUE(Check("uicontrol", "String", lines).is_cell());
  lines.mutable_cell(1) = Value::Scalar(2);
  EXPECT_THAT(CheckError("uicontrol", "String", lines), HasSubstr("a text or a cell of texts"));
  EXPECT_TRUE(Check("uicontrol", "String", Value::Empty()).is_char());
}

TEST(PropertyChecks, NumbersMustBeFiniteAndInRange) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  // A rectangle comes back as a row, whatever shape it was given in.
  const Value rect = Check("figure", "Position", Value::Matrix(2, 2, {1, 2, 3, 4}));
  EXPECT_EQ(rect.rows(), 1u);
  EXPECT_THAT(Numbers(rect), ElementsAre(1, 2, 3, 4));
  EXPECT_THAT(CheckError("figure", "Position", Value::Row({1, 2, nan, 4})),
              HasSubstr("four numbers"));
  EXPECT_THAT(CheckError("uicontrol", "Position", Value::Row({1, 2, inf, 4})),
              HasSubstr("four numbers"));
  EXPECT_THAT(CheckError("figure", "Position", Value::Text("abcd")), HasSubstr("four numbers"));
  // Colours: each component from 0 to 1, both ends included.
  EXPECT_THAT(Numbers(Check("figure", "Color", Value::Row({0, 1, 0.5}))), ElementsAre(0, 1, 0.5));
  EXPECT_THAT(CheckError("figure", "Color", Value::Row({0, 1.01, 0})), HasSubstr("from 0 to 1"));
  EXPECT_THAT(CheckError("figure", "Color", Value::Row({-0.01, 0, 0})), HasSubstr("from 0 to 1"));
  EXPECT_THAT(CheckError("figure", "Color", Value::Row({nan, 0, 0})), HasSubstr("from 0 to 1"));
  // Scalars: one finite number; "Value" takes any numbers.
  EXPECT_EQ(Check("uicontrol", "FontSize", Value::Scalar(12)).num(0), 12);
  EXPECT_THAT(CheckError("uicontrol", "Max", Value::Scalar(nan)), HasSubstr("one number"));
  EXPECT_THAT(CheckError("uicontrol", "Max", Value::Row({1, 2})), HasSubstr("one number"));
  EXPECT_EQ(Check("uicontrol", "Value", Value::Row({1, 2, 3})).numel(), 3u);
  EXPECT_THAT(CheckError("uicontrol", "Value", Value::Text("1")), HasSubstr("numbers"));
}

TEST(PropertyChecks, AnchorsAreEdgesKeptInTheirCanonicalOrder) {
  EXPECT_EQ(Check("uicontrol", "Anchor", Value::Text("Top  Right")).utf8(), "right top");
  EXPECT_EQ(Check("uicontrol", "Anchor", Value::Text("bottom left top right")).utf8(),
            "left right bottom top");
  for (const char* bad : {"left", "", "left left bottom", "up left"}) {
    EXPECT_THAT(CheckError("uicontrol", "Anchor", Value::Text(bad)),
                HasSubstr("\"Anchor\" of a uicontrol object: expected the edges it keeps its "
                          "distance to, such as \"left bottom\""))
        << bad;
  }
  EXPECT_THAT(CheckError("uicontrol", "Anchor", Value::Scalar(1)), HasSubstr("expected the edges"));
}

TEST(PropertyChecks, AMnemonicIsOneLetterOrDigitOrNone) {
  EXPECT_EQ(Check("uicontrol", "Mnemonic", Value::Text("l")).utf8(), "L");
  EXPECT_EQ(Check("uicontrol", "Mnemonic", Value::Text("S")).utf8(), "S");
  EXPECT_EQ(Check("uicontrol", "Mnemonic", Value::Text("7")).utf8(), "7");
  EXPECT_EQ(Check("uicontrol", "Mnemonic", Value::EmptyText()).utf8(), "");
  EXPECT_EQ(Check("uicontrol", "Mnemonic", Value::Empty()).utf8(), "");
  for (const Value& bad : {Value::Text("ab"), Value::Text("&"), Value::Text(" "),
                           Value::Text("\xC3\xA9"), Value::Scalar(1)}) {
    EXPECT_THAT(CheckError("uicontrol", "Mnemonic", bad),
                HasSubstr("expected one letter or digit, or \"\" for none"));
  }
}

TEST(PropertyChecks, ControlsStartAnchoredBottomLeftWithoutMnemonicOrPlaceholder) {
  const std::vector<Property> props = DefaultProperties("uicontrol", kGrey, 9);
  EXPECT_EQ(Named(props, "Anchor").value.utf8(), "left bottom");
  EXPECT_EQ(Named(props, "Mnemonic").value.utf8(), "");
  EXPECT_EQ(Named(props, "PlaceholderString").value.utf8(), "");
  EXPECT_THAT(CheckError("uicontrol", "PlaceholderString", Value::Scalar(2)),
              HasSubstr("expected a text"));
  EXPECT_EQ(FindProperty(DefaultProperties("figure", kGrey, 9), "Anchor"), nullptr);
}

TEST(PropertyChecks, ReadOnlyAndMissingValuesAreRefused) {
  EXPECT_EQ(CheckError("uicontrol", "Children", Value::Empty()),
            "Property \"Children\" of a uicontrol object cannot be set");
  const std::vector<Property> root = RootProperties();
  EXPECT_THAT(ErrorOf([&] { CheckedValue(Named(root, "ScreenSize"), "root", Value::Row({})); }),
              HasSubstr("cannot be set"));
  // Even "any value" needs a value.
  EXPECT_THAT(CheckError("uicontrol", "UserData", Value()), HasSubstr("expected a value"));
  EXPECT_THAT(CheckError("uicontrol", "UserData", Value::Unassigned()),
              HasSubstr("expected a value"));
  EXPECT_TRUE(Check("uicontrol", "UserData", Value::Cell(1, 1)).is_cell());
  const Property extra = ExtraProperty("Label", Value::Text("File"));
  EXPECT_EQ(CheckedValue(extra, "uimenu", Value::Scalar(4)).num(0), 4);
}

}  // namespace
}  // namespace dk::internal
