// The macro script window as the operator meets it: opened from the console's menu, a line
// typed and run with Enter, its answer in the list, closed with Escape.
#include <gtest/gtest.h>

#include <QAction>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "Desk.h"
#include "ui_Script_reader.h"
#include "ui_Spool.h"

namespace wendlar::ui {
namespace {

TEST(ScriptWindow, OpensFromTheMenuRunsATypedLineOnEnterAndClosesOnEscape) {
  Desk d;
  ScriptWindow& w = d.gui.Script();
  Ui::Script_reader& f = w.Form();
  EXPECT_TRUE(w.Binding().Unbound().empty()) << w.Binding().Unbound().front();
  EXPECT_FALSE(w.isVisible());

  QAction* entry = d.gui.Console().Form().RunScriptfile1;
  ASSERT_TRUE(entry->isEnabled());
  entry->trigger();
  Desk::Settle();
  ASSERT_TRUE(w.isVisible());
  EXPECT_EQ(w.windowTitle(), "Script");
  EXPECT_FALSE(d.sys.console.View.Form.Checked()) << "the console leaves always-on-top meanwhile";
  EXPECT_EQ(f.Run_Line->text(), "Run Line");
  EXPECT_EQ(f.Open_Scr->text(), "Open Script");
  EXPECT_TRUE(f.Run_Line->isEnabled());
  EXPECT_TRUE(f.Open_Scr->isEnabled());
  EXPECT_EQ(f.real_edit1->text(), "0.000");
  EXPECT_TRUE(f.real_edit1->isReadOnly());

  // Without a controller the line is refused, and the list says why.
  QTest::keyClicks(f.Edit1, "MXYA(1,2)");
  QTest::keyClick(f.Edit1, Qt::Key_Return);
  Desk::Settle();
  EXPECT_EQ(d.sys.script.ScriptLine, "MXYA(1,2)");
  ASSERT_EQ(f.ListBox1->count(), 1);
  EXPECT_EQ(f.ListBox1->item(0)->text(), "Controller not connected");

  // Open_Scr without a controller asks for no file.
  f.Open_Scr->click();
  Desk::Settle();
  EXPECT_TRUE(d.prompts.Dialogs.empty());
  EXPECT_EQ(f.ListBox1->count(), 2);

  QTest::keyClick(&w, Qt::Key_Escape);
  Desk::Settle();
  EXPECT_FALSE(w.isVisible());
  EXPECT_FALSE(d.sys.script.View.Form.Visible());
  EXPECT_TRUE(d.sys.console.View.Form.Checked()) << "back on top, as Stay on Top asks";
}

}  // namespace
}  // namespace wendlar::ui
