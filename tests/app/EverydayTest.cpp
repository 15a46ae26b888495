// Everyday use without a server: the find bar over a rich-text editor, the texts of errors that
// are no server errors, edits that refuse more than their column holds, and the keyboard in
// dialogs (first field focused on every opening, Escape closes).

#include "AppFixture.h"

#include "ErrorDisplay.h"
#include "ui/FindBar.h"

#include "db/DbErrors.h"
#include "richtext/RichEditor.h"
#include "windows/AttachDialog.h"
#include "windows/CreateProjectsForm.h"
#include "windows/CreateRequirementForm.h"
#include "windows/DiscEntryForm.h"
#include "windows/Forms.h"
#include "windows/UserCreateForm.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QCoreApplication>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

#include <stdexcept>

using namespace vt::app;

namespace {

// An editor whose text runs in three styles: "Alpha be" in style 0, "ta gamma" bold, then a
// paragraph "ALPHA alphabet" in italic.
void fillStyled(vt::rt::RichEditor& ed)
{
    vt::rt::DocModel m;
    vt::rt::TextStyle bold = m.styles.text(0);
    bold.bold = true;
    vt::rt::TextStyle italic = m.styles.text(0);
    italic.italic = true;
    const int b = m.styles.appendText(bold);
    const int i = m.styles.appendText(italic);
    vt::rt::Block first;
    first.paragraph.items = {{vt::rt::Item::Kind::Text, 0, "Alpha be"}, {vt::rt::Item::Kind::Text, b, "ta gamma"}};
    vt::rt::Block second;
    second.paragraph.items = {{vt::rt::Item::Kind::Text, i, "ALPHA alphabet"}};
    m.blocks = {first, second};
    ed.setModel(m);
    ed.setModified(false);
}

}  // namespace

TEST(FindBar, CountsAndWalksMatchesAcrossStylesWithItsOptionsWithoutTouchingTheBody)
{
    vt::rt::RichEditor ed;
    ui::FindBar bar(&ed);
    fillStyled(ed);
    const vt::rt::DocModel before = ed.toModel();
    bar.open();
    auto& text = child<QLineEdit>(bar, "findText");
    auto& matchCase = child<QCheckBox>(bar, "findMatchCase");
    auto& wholeWords = child<QCheckBox>(bar, "findWholeWords");
    auto& count = child<QLabel>(bar, "findCount");

    struct Case {
        const char* needle;
        bool caseSensitive;
        bool whole;
        int matches;
    };
    const Case cases[] = {
        {"beta", false, false, 1},                                     // across a plain and a bold run
        {"alpha", false, false, 3},                                    // Alpha, ALPHA, alpha(bet)
        {"alpha", true, false, 1},                                     // only "alpha" of "alphabet"
        {"alpha", false, true, 2},                                     // not inside "alphabet"
        {"ALPHA", true, true, 1},   {"gamma\u2029", false, false, 0},  // no match across a paragraph end
        {"zeta", false, false, 0},
    };
    for (const Case& c : cases) {
        matchCase.setChecked(c.caseSensitive);
        wholeWords.setChecked(c.whole);
        ed.moveCursor(QTextCursor::Start);  // the first match is the first after the caret
        text.setText(QString::fromUtf8(c.needle));
        EXPECT_EQ(bar.matchCount(), c.matches) << c.needle << " case " << c.caseSensitive << " whole " << c.whole;
        EXPECT_EQ(count.text(),
                  c.matches == 0 ? QStringLiteral("No matches") : QStringLiteral("1 of %1").arg(c.matches))
            << c.needle;
        EXPECT_EQ(ed.extraSelections().size(), c.matches) << "every match highlighted";
    }

    // Next and previous wrap at the ends; the current match is the editor's selection.
    matchCase.setChecked(false);
    wholeWords.setChecked(false);
    ed.moveCursor(QTextCursor::Start);
    text.setText("alpha");
    EXPECT_EQ(bar.currentMatch(), 1);
    EXPECT_EQ(ed.textCursor().selectedText(), "Alpha");
    QTest::keyClick(&text, Qt::Key_Return);
    EXPECT_EQ(ed.textCursor().selectedText(), "ALPHA");
    EXPECT_EQ(count.text(), "2 of 3");
    bar.findNext();
    bar.findNext();
    EXPECT_EQ(bar.currentMatch(), 1) << "wraps to the first";
    QTest::keyClick(&text, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(bar.currentMatch(), 3) << "previous wraps to the last";

    // Nothing of the body changed, nor its modified flag; Escape closes and drops the marks.
    EXPECT_FALSE(ed.isModified());
    EXPECT_EQ(ed.toModel(), before);
    QTest::keyClick(&text, Qt::Key_Escape);
    EXPECT_TRUE(bar.isHidden());
    EXPECT_TRUE(ed.extraSelections().isEmpty());

    // Matches follow edits while the bar is open; a new body drops the old matches.
    bar.open();
    text.setText("gamma");
    EXPECT_EQ(bar.matchCount(), 1);
    QTextCursor end(ed.document());
    end.movePosition(QTextCursor::End);
    ed.setTextCursor(end);
    // The bar looks again once the edit is over (queued: not inside the document's edit).
    QTest::keyClicks(&ed, " gamma");
    QCoreApplication::processEvents();
    EXPECT_EQ(bar.matchCount(), 2);
    ed.clear();
    QCoreApplication::processEvents();
    EXPECT_EQ(bar.matchCount(), 0);
}

TEST(ErrorText, OnlyServerErrorsWithAKnownNumberGetASentence)
{
    struct Case {
        std::function<void()> raise;
        const char* starts;
        const char* whole;  // the exact text, when no sentence comes first
    };
    const Case cases[] = {
        {[] { throw EmySQLDatabaseError(1001, "mySQL Error Code: (2013)\r\nLost connection", 2013); },
         "The connection to the database server was lost.", nullptr},
        // After a lost connection the kind of loss decides whether trying again is safe.
        {[] {
             throw EmySQLDatabaseError(1001, "mySQL Error Code: (2013)\r\nunknown", 2013, FailureKind::OutcomeUnknown);
         },
         "The connection to the database server was lost after the change was sent. Look whether", nullptr},
        {[] {
             throw EmySQLDatabaseError(1001, "mySQL Error Code: (2006)\r\nlost", 2006, FailureKind::TransactionLost);
         },
         "The connection to the database server was lost during the change; nothing of it was stored.", nullptr},
        {[] { throw EmySQLDatabaseError(1001, "mySQL Error Code: (1213)\r\nDeadlock found", 1213); },
         "Another user was changing the same data", nullptr},
        {[] { throw EmySQLDatabaseError(1001, "mySQL Error Code: (1045)\r\nAccess denied", 1045); },
         "The database server refused", nullptr},
        {[] { throw EmySQLDatabaseError(1001, "mySQL Error Code: (1064)\r\nSyntax", 1064); }, nullptr,
         "mySQL Error Code: (1064)\r\nSyntax"},
        {[] { throw EmySQLDatabaseError(1001, "no server number"); }, nullptr, "no server number"},
        {[] { throw std::runtime_error("Cannot create file x"); }, nullptr, "Cannot create file x"},
    };
    for (const Case& c : cases) {
        try {
            c.raise();
        } catch (const std::exception& error) {
            const QString text = errorText(error);
            if (c.whole) {
                EXPECT_EQ(text, QString::fromUtf8(c.whole));
            } else {
                EXPECT_TRUE(text.startsWith(QString::fromUtf8(c.starts))) << text.toStdString();
                EXPECT_TRUE(text.endsWith("\n\n" + QString::fromUtf8(error.what()))) << text.toStdString();
            }
        }
    }
}

class EverydayWindows : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        startApp();
    }
};

TEST_F(EverydayWindows, EditsRefuseTextBeyondTheirColumnAndNameTheLimit)
{
    struct Case {
        QWidget* window;
        const char* field;
        int limit;
    };
    const Forms& f = forms();
    const Case cases[] = {
        {f.CreateProjectsForm, "Edit1", 400}, {f.Form_CreateRequirement, "Edit1", 400},
        {f.Disc_Entry_Form, "Edit1", 400},    {f.Dialog_attach, "Edit1", 4000},
        {f.Dialog_attach, "Edit2", 1000},     {f.Form_UserCreate, "UserName", 400},
        {f.Form_UserCreate, "Email", 400},    {f.Veltrana, "Edit_RequireMentName", 400},
        {f.Veltrana, "CatagoryName", 400},    {f.Veltrana, "ProjectName", 400},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(c.window);
        auto& edit = child<QLineEdit>(*c.window, c.field);
        EXPECT_EQ(edit.maxLength(), c.limit) << c.field;
        EXPECT_TRUE(edit.toolTip().contains(QString::number(c.limit))) << c.field;
    }
    // Typing one character more than the limit keeps the limit.
    auto& topic = child<QLineEdit>(*f.Form_CreateRequirement, "Edit1");
    QTest::keyClicks(&topic, QString(401, 'x'));
    EXPECT_EQ(topic.text().size(), 400);
}

TEST_F(EverydayWindows, DialogsFocusTheirFirstFieldOnEveryOpeningAndEscapeCloses)
{
    QWidget* project = forms().CreateProjectsForm;
    ASSERT_TRUE(project);
    project->show();
    auto& name = child<QLineEdit>(*project, "Edit1");
    EXPECT_EQ(project->focusWidget(), &name);
    // The user moves to a button and closes the window; at the next opening typing goes to
    // the name again, not to the button.
    child<QPushButton>(*project, "Button2").setFocus();
    project->hide();
    project->show();
    EXPECT_EQ(project->focusWidget(), &name);
    QTest::keyClick(project, Qt::Key_Escape);
    EXPECT_FALSE(project->isVisible());

    for (QWidget* dialog :
         {static_cast<QWidget*>(forms().Form_CreateRequirement), static_cast<QWidget*>(forms().Disc_Entry_Form)}) {
        dialog->show();
        EXPECT_EQ(dialog->focusWidget(), &child<QLineEdit>(*dialog, "Edit1")) << dialog->objectName().toStdString();
        EXPECT_TRUE(dialog->findChild<QPushButton*>("btnCancel")) << dialog->objectName().toStdString();
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape);
        EXPECT_FALSE(dialog->isVisible()) << dialog->objectName().toStdString();
    }
}
