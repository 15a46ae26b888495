// Names, topics, references and server texts are shown as typed: every label that shows data
// and every message box of the desktop platform take their text as plain text, so markup in the
// data neither formats nor loads anything (an <img> of /dev/zero would read until memory ran out).

#include "AppFixture.h"

#include "platform/QtPlatform.h"
#include "windows/CreateProjectsForm.h"
#include "windows/DiscEntryChildForm.h"
#include "windows/UserEditorForm.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>

using namespace vt::app;

namespace {

const QString kHostile[] = {
    QStringLiteral("<b>x</b>"),
    QStringLiteral("&amp;"),
    QStringLiteral("<a href=\"javascript:alert(1)\">click</a>"),
    QStringLiteral("<qt><h1>big</h1>"),
    QStringLiteral("Ünïcödé <i>Café</i> 日本"),
    QStringLiteral("<img src=\"/dev/zero\">"),
};

// The label is plain text and shows exactly text.
void expectLiteral(const QLabel& label, const QString& text)
{
    EXPECT_EQ(label.textFormat(), Qt::PlainText) << label.objectName().toStdString();
    EXPECT_EQ(label.text(), text) << label.objectName().toStdString();
}

}  // namespace

class PlainText : public AppFixture {};

TEST_F(PlainText, LabelsShowingDataTakeMarkupLiterally)
{
    startApp();
    auto& reply = *forms().Disc_entry_Child_Form;
    auto& editor = *forms().Form_UserEditor;
    QLabel* status = nullptr;
    for (QLabel* label : mainWindow().statusBar()->findChildren<QLabel*>())
        if (label->text() == QLatin1String("Ready")) status = label;
    ASSERT_NE(status, nullptr);

    for (const QString& text : kHostile) {
        SCOPED_TRACE(text.toStdString());
        // The reply window's document topic.
        reply.setSource({}, [&] { return text; });
        reply.show();
        expectLiteral(child<QLabel>(reply, "Lab_Requirement"), text);
        reply.hide();
        // The user editor's account name.
        editor.editAccount(text, {});
        expectLiteral(child<QLabel>(editor, "Lab_Username"), text);
        editor.hide();
        // The status bar's first panel.
        mainWindow().setStatusText(text);
        expectLiteral(*status, text);
    }
    // Labels filled from settings and templates.
    EXPECT_EQ(loginChild<QLabel>("Label1").textFormat(), Qt::PlainText);
    EXPECT_EQ(child<QLabel>(*forms().CreateProjectsForm, "ProjectTypeName").textFormat(), Qt::PlainText);
}

TEST_F(PlainText, DesktopMessageBoxesShowMarkupLiterally)
{
    for (const QString& text : kHostile) {
        SCOPED_TRACE(text.toStdString());
        auto box = makeMessageBox(QMessageBox::Information, QStringLiteral("Veltrana"), text, QMessageBox::Ok);
        ASSERT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->text(), text);
        // Shown (without waiting for an answer), the box's label holds the text as given.
        box->show();
        QApplication::processEvents();
        const QLabel* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_EQ(label->text(), text);
        box->hide();
    }
}
