#include <gtest/gtest.h>

#include "config/Materials.h"
#include "ConfigRig.h"

namespace wendlar {
namespace {

// The default table as written: the title, then eight lines per material.
const std::string kDefaultMaterials =
    "Plasma Materials\r\n"
    "[Material # 1]\r\nMaterial 1\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 2]\r\nMaterial 2\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 3]\r\nMaterial 3\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 4]\r\nMaterial 4\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 5]\r\nMaterial 5\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 6]\r\nMaterial 6\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 7]\r\nMaterial 7\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 8]\r\nMaterial 8\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 9]\r\nMaterial 9\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 10]\r\nMaterial 10\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 11]\r\nMaterial 11\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 12]\r\nMaterial 12\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 13]\r\nMaterial 13\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 14]\r\nMaterial 14\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 15]\r\nMaterial 15\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 16]\r\nMaterial 16\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 17]\r\nMaterial 17\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 18]\r\nMaterial 18\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 19]\r\nMaterial 19\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 20]\r\nMaterial 20\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 21]\r\nMaterial 21\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 22]\r\nMaterial 22\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 23]\r\nMaterial 23\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 24]\r\nMaterial 24\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n"
    "[Material # 25]\r\nMaterial 25\r\n20\r\n150\r\n0.080\r\n0.1\r\n\r\n--\r\n";

class MaterialsTest : public testing::ConfigRig {
 protected:
  std::unique_ptr<Tpick_mat> Create() { return std::make_unique<Tpick_mat>(io, console, machine); }
};

TEST_F(MaterialsTest, FirstStartWritesTheDefaultsSilently) {
  auto picker = Create();
  EXPECT_EQ(out.str(), "");
  EXPECT_TRUE(events.Messages.empty());
  EXPECT_TRUE(events.LoadErrors.empty());
  EXPECT_EQ(dir.Read("material.lst"), kDefaultMaterials);
  EXPECT_EQ(SplitLines(kDefaultMaterials).size(), 201u);
  picker->Save_itClick();
  EXPECT_EQ(dir.Read("material.lst"), kDefaultMaterials);
}

TEST_F(MaterialsTest, LoadReadsRowsByPositionAndRoundTrips) {
  auto lines = SplitLines(kDefaultMaterials);
  lines[10] = "Mild steel 3mm";  // row 2: label at 9, then name, feed, volts, height, delay, amps
  lines[11] = "85";
  lines[15] = "45";
  dir.Write("material.lst", testing::CrLf(lines));
  auto picker = Create();
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(picker->View.Grid.Cell(2, 2), "Mild steel 3mm");
  EXPECT_EQ(picker->View.Grid.Cell(3, 2), "85");
  EXPECT_EQ(picker->View.Grid.Cell(7, 2), "45");
  EXPECT_EQ(picker->View.Grid.Cell(0, 0), "");
  EXPECT_EQ(picker->View.Grid.Cell(3, 0), "Feed Rate");
  ASSERT_TRUE(picker->SaveMaterials());
  EXPECT_EQ(dir.Read("material.lst"), testing::CrLf(lines));
}

TEST_F(MaterialsTest, ShortEmptyAndJunkFiles) {
  auto lines = SplitLines(kDefaultMaterials);
  lines[1 + 8 + 1] = "Aluminium";  // row 2's name
  lines.resize(1 + 8 + 3);            // ends inside row 2
  dir.Write("material.lst", testing::CrLf(lines));
  auto picker = Create();
  EXPECT_EQ(out.str(), "Material file save error # !\n");
  EXPECT_EQ(events.LoadErrors,
            std::vector<std::string>{"DATA ERROR READING material.lst line 13: the file ends before material 2 is complete"});
  EXPECT_EQ(dir.Read("material.lst"), testing::CrLf(lines)) << "a short file is not overwritten";
  EXPECT_EQ(picker->View.Grid.Cell(2, 2), "Aluminium");
  EXPECT_EQ(picker->View.Grid.Cell(4, 2), "150");  // not reached: the default stays
  EXPECT_EQ(picker->View.Grid.Cell(2, 25), "Material 25");

  out.str("");
  dir.Write("material.lst", "");
  EXPECT_FALSE(picker->LoadMaterials());
  EXPECT_EQ(out.str(), "Material file save error # !\n");

  // Junk is text like any other until the range rules replace it.
  dir.Write("material.lst", "t\r\nl\r\n\x01\xfe\r\nabc\r\n");
  EXPECT_FALSE(picker->LoadMaterials());
  EXPECT_EQ(picker->View.Grid.Cell(3, 1), "abc");
  picker->GridExit();
  EXPECT_EQ(picker->View.Grid.Cell(3, 1), "10");
}

TEST_F(MaterialsTest, RangeRulesReplaceWhatIsOutside) {
  auto picker = Create();
  struct Case {
    int col;
    std::string typed, expected;
  };
  const Case cases[] = {
      {3, "0.5", "10"},    {3, "abc", "10"},   {3, "400", "400"},  {3, "1", "1"},       {3, "20x", "10"},
      {4, "39", "150"},    {4, "200", "200"},  {4, "40", "40"},    {5, "0.25", "0.075"}, {5, "0", "0"},
      {5, "-0.1", "0.075"}, {6, "1.5", "0.1"}, {6, "1", "1"},      {7, "whatever", "whatever"},
  };
  for (const Case& c : cases) {
    picker->View.Grid.Cell(c.col, 7) = c.typed;
    picker->GridClick(2, 3);
    EXPECT_EQ(picker->View.Grid.Cell(c.col, 7), c.expected) << c.col << " " << c.typed;
  }
  EXPECT_TRUE(picker->View.Select.Enabled());
}

TEST_F(MaterialsTest, SelectFeedsThePlasmaPanelSpindleChannelAndFeed) {
  auto picker = Create();
  EXPECT_FALSE(picker->View.Select.Enabled());
  picker->View.Grid.Cell(7, 4) = "45";
  picker->View.Grid.Cell(4, 4) = "120.5";
  picker->GridClick(3, 4);
  picker->SelectClick();
  EXPECT_EQ(picker->View.Label1.Caption(), "4");
  ASSERT_EQ(console.Plasma.size(), 1u);
  EXPECT_EQ(console.Plasma[0].Amps, 45);
  EXPECT_EQ(console.Plasma[0].PierceHeight, 0.08);
  EXPECT_EQ(console.Plasma[0].Volts, 120.5);
  EXPECT_EQ(console.Rpm, 120);  // half to even
  EXPECT_EQ(console.RpmCaption, "Rpm 120");
  EXPECT_EQ(machine.SpindleSpeeds, std::vector<int>{120});
  EXPECT_EQ(console.Feed, 20);
  EXPECT_EQ(console.FeedCaption, "Feed  20");

  // A feed beyond the speed table is held at its last index.
  console.Steps = 100;
  picker->View.Grid.Cell(3, 4) = "400";
  picker->SelectClick();
  EXPECT_EQ(console.Feed, 100);
  EXPECT_EQ(console.FeedCaption, "Feed  100");
}

TEST_F(MaterialsTest, UnwritableFileSaysWhy) {
  auto picker = Create();
  std::filesystem::remove(dir.Path() / "material.lst");
  std::filesystem::create_directory(dir.Path() / "material.lst");
  EXPECT_FALSE(picker->SaveMaterials());
  const std::string expected =
      "Material file save error # material.lst: " + (dir.Path() / "material.lst").string() + " is a folder";
  EXPECT_EQ(out.str(), expected + "\n");
  EXPECT_EQ(events.WriteErrors, std::vector<std::string>{expected});
  EXPECT_TRUE(events.SaveErrors.empty()) << "no message box for a save the operator did not ask for";
  picker->Save_itClick();
  EXPECT_EQ(events.SaveErrors, std::vector<std::string>{expected});
}

}  // namespace
}  // namespace wendlar
