// Save as: which report is copied where, and what a cancelled dialog, a
// missing report or a failed copy leave behind.
#include <windows.h>

#include "mainwindow/form1_fixture.h"

namespace tf::mainwindow::testing {
namespace {

using Form1Save = Form1Test;

TEST_F(Form1Save, NothingHappensBeforeTheFirstRun) {
    WriteFile(app_ + "\\Tallyfold.txt", "from an earlier session");
    dialog_.answers.push_back(root_ + "\\copy");
    Click(Control::Command3);
    Click(Control::Command2);
    EXPECT_TRUE(dialog_.asked.empty());
    EXPECT_FALSE(IsBold(Control::Command3) || IsBold(Control::Command2));
    EXPECT_FALSE(FileExists(root_ + "\\copy.txt"));
    EXPECT_FALSE(form().stopped() || form().started());
}

TEST_F(Form1Save, CopiesTheReportOfTheSelectedFormatWithItsExtensionAppended) {
    MakeSampleTree();
    form().SetSourceFolder(src_);
    SetText(Control::saveas, "HTML");
    Click(Control::Command1);  // an HTML report first
    SetText(Control::saveas, "Text");
    Click(Control::Command1);  // then a text report
    const std::string text = Report("Tallyfold.txt");
    const std::string html = Report("Tallyfold.html");
    ASSERT_FALSE(text.empty());
    ASSERT_FALSE(html.empty());

    dialog_.answers.push_back(root_ + "\\listing");
    Click(Control::Command3);
    ASSERT_EQ(dialog_.asked.size(), 1u);
    EXPECT_EQ(dialog_.asked[0].fileName, "Tallyfold");
    EXPECT_EQ(dialog_.asked[0].description, "TXT file (.txt)");
    EXPECT_EQ(ReadFile(root_ + "\\listing.txt"), text);
    EXPECT_TRUE(IsBold(Control::Command3));
    EXPECT_FALSE(IsBold(Control::Command1));

    // Switching the format copies the earlier HTML report, over an existing
    // file, and a name that already has an extension gets a second one.
    WriteFile(root_ + "\\listing.html.html", "to be replaced");
    SetText(Control::saveas, "HTML");
    dialog_.answers.push_back(root_ + "\\listing.html");
    Click(Control::Command3);
    ASSERT_EQ(dialog_.asked.size(), 2u);
    EXPECT_EQ(dialog_.asked[1].description, "HTML file (.html)");
    EXPECT_EQ(ReadFile(root_ + "\\listing.html.html"), html);

    // A listing for scripts is saved with its own extension and filter.
    SetText(Control::saveas, "JSON Lines");
    Click(Control::Command1);
    const std::string jsonl = Report("Tallyfold.jsonl");
    ASSERT_FALSE(jsonl.empty());
    dialog_.answers.push_back(root_ + "\\listing");
    Click(Control::Command3);
    ASSERT_EQ(dialog_.asked.size(), 3u);
    EXPECT_EQ(dialog_.asked[2].description, "JSON Lines file (.jsonl)");
    EXPECT_EQ(ReadFile(root_ + "\\listing.jsonl"), jsonl);

    // Any other format text: only the bold marking moves.
    SetText(Control::saveas, "Csv");
    Click(Control::Command2);
    Click(Control::Command3);
    EXPECT_EQ(dialog_.asked.size(), 3u);
    EXPECT_TRUE(IsBold(Control::Command3));
}

TEST_F(Form1Save, CancelCopiesNothingAndChangesNothing) {
    MakeFile("a.txt", 1);
    form().SetSourceFolder(src_);
    Click(Control::Command1);
    const std::string before = Report("Tallyfold.txt");
    const std::string status = form().StatusText();
    Click(Control::Command3);  // no queued answer: the person cancels
    EXPECT_EQ(dialog_.asked.size(), 1u);
    EXPECT_EQ(Report("Tallyfold.txt"), before);
    EXPECT_EQ(form().StatusText(), status);
    EXPECT_TRUE(IsBold(Control::Command1));
    EXPECT_FALSE(IsBold(Control::Command3));
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((root_ + "\\*.txt").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

TEST_F(Form1Save, AMissingReportOrAFailedCopyIsReported) {
    MakeFile("a.txt", 1);
    form().SetSourceFolder(src_);
    Click(Control::Command1);

    SetText(Control::saveas, "HTML");  // no HTML report was ever written
    dialog_.answers.push_back(root_ + "\\copy");
    Click(Control::Command3);
    EXPECT_FALSE(FileExists(root_ + "\\copy.html"));
    EXPECT_NE(form().StatusText().find(app_ + "\\Tallyfold.html"), std::string::npos) << form().StatusText();

    SetText(Control::saveas, "Text");
    dialog_.answers.push_back(root_ + "\\no such folder\\copy");
    Click(Control::Command3);
    EXPECT_NE(form().StatusText().find("could not be copied"), std::string::npos) << form().StatusText();
    EXPECT_NE(form().StatusText().find(root_ + "\\no such folder\\copy.txt"), std::string::npos);

    // The report itself chosen as the destination is already saved.
    dialog_.answers.push_back(app_ + "\\Tallyfold");
    const std::string report = Report("Tallyfold.txt");
    Click(Control::Command3);
    EXPECT_EQ(Report("Tallyfold.txt"), report);
    EXPECT_EQ(form().StatusText().find("could not"), std::string::npos) << form().StatusText();
}

}  // namespace
}  // namespace tf::mainwindow::testing
