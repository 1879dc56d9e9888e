#include "plot/labels.h"

#include <gtest/gtest.h>

#include "app/functions.h"
#include "base/error.h"
#include "support/program_fixture.h"

using namespace ziva;
using ziva::testing::expect_props;

namespace {

class Labels : public ziva::testing::BareProgramTest {
 protected:
  void SetUp() override {
    fig_ = g().figure();
    ax_ = g().axes(fig_, {{"FontSize", 14.0},
                          {"FontName", "Courier"},
                          {"FontAngle", "italic"},
                          {"FontWeight", "bold"}});
  }
  Handle fig_ = 0, ax_ = 0;
};

}  // namespace

TEST_F(Labels, CopyTheAxesFontAndSetTheText) {
  Handle t = title(env(), "Leistung", {{"Color", "r"}});
  EXPECT_EQ(t, g().label_of(ax_, "Title"));
  expect_props(g(), t,
               {{"String", "Leistung"},
                {"FontSize", 14.0},
                {"FontName", "Courier"},
                {"FontAngle", "italic"},
                {"FontWeight", "bold"},
                {"Color", Value::row({1, 0, 0})}});

  g().set(g().label_of(ax_, "YLabel"), "Rotation", 90.0);
  g().set(g().label_of(ax_, "Title"), "Rotation", 45.0);
  Handle y = ylabel(env(), "[Hz]");
  EXPECT_EQ(y, g().label_of(ax_, "YLabel"));
  EXPECT_EQ(g().get_text(y, "String"), "[Hz]");
  EXPECT_EQ(g().get_scalar(y, "Rotation"), 90);  // only the title is turned upright
  title(env(), "again");
  EXPECT_EQ(g().get_scalar(g().label_of(ax_, "Title"), "Rotation"), 0);

  Handle x = xlabel(env(), "[s]");
  EXPECT_EQ(g().get_text(x, "String"), "[s]");
  EXPECT_EQ(g().get_text(x, "FontName"), "Courier");
}

TEST_F(Labels, WorkOnTheCurrentAxes) {
  Handle other = g().axes(fig_, {{"FontSize", 8.0}});
  Handle x = xlabel(env(), "Zeit");
  EXPECT_EQ(x, g().label_of(other, "XLabel"));
  EXPECT_EQ(g().get_scalar(x, "FontSize"), 8);
  EXPECT_EQ(g().get_text(g().label_of(ax_, "XLabel"), "String"), "");
  // An explicit axes handle wins over the current axes.
  Handle y = ylabel(env(), ax_, "Drehm");
  EXPECT_EQ(y, g().label_of(ax_, "YLabel"));
}

TEST_F(Labels, ByNameWithPairsAndTheirCount) {
  Values out = program_.call("title", 1, {Value("Bitte warten"), Value("FontSize"), Value(12.0)});
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].scalar(), g().label_of(ax_, "Title"));
  EXPECT_EQ(g().get_scalar(g().label_of(ax_, "Title"), "FontSize"), 12);
  for (const char* name : {"title", "xlabel", "ylabel"}) {
    try {
      program_.call(name, 1, {Value("x"), Value("FontSize")});
      ADD_FAILURE() << name << " accepted an odd pair";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "Incorrect number of input arguments");
    }
  }
  out = program_.call("ylabel", 1, {Value(ax_), Value("[km/h]")});
  EXPECT_EQ(g().get_text(g().label_of(ax_, "YLabel"), "String"), "[km/h]");
  EXPECT_THROW(program_.call("xlabel", 1, {Value("x"), Value("NoSuchProperty"), Value(1.0)}),
               Error);
}
