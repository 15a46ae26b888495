// Text from the database written by another user, shown in every window that shows it: markup,
// entities, a bidi override, combining marks, 4-byte characters, NUL and names at their column's
// length are shown as stored, as plain text, without loading anything and without reordering the
// program's own words; tooltips of every cell show the same; nothing crashes or hangs.

#include "AppFixture.h"
#include "ShownText.h"
#include "TestServer.h"

#include "data/FieldLimits.h"
#include "windows/Forms.h"
#include "windows/RecentUpdForm.h"
#include "windows/UserAdminForm.h"
#include "windows/panels/SearchBox.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolTip>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

using namespace vt::app;
using vt::test::hoverTip;
using vt::test::shownText;
using vt::test::tailLeftToRight;
using vt::test::withoutIsolates;

namespace {

const QString kRlo = QStringLiteral("\u202E");

// One value per column, each with markup that a rich-text widget would render or load.
const QString kProject = QStringLiteral("<img src=\"/dev/zero\"><b>Proj</b> &amp; ") + kRlo + QStringLiteral("tlo");
const QString kProjectText = QStringLiteral("<script>alert(1)</script>\n-- ' \\ \"");
const QString kCategory = QStringLiteral("<a href=\"javascript:alert(1)\">Cat</a>") + kRlo;
const QString kTopic = QString::fromUtf8("<qt><h1>Doc</h1> e\u0301\u0301 \U00020BB7 ") + kRlo + QStringLiteral("cod");
const QString kUser = QStringLiteral("<I>EVE</I> ") + kRlo + QStringLiteral("&AMP;");
const QString kSubject = QStringLiteral("<b>Subj</b> ") + kRlo + QStringLiteral("(NIMDA");
const QString kMessage = QStringLiteral("<img src=\"/dev/zero\">") + QChar(0) + QStringLiteral("after NUL\n\u202Eend");
const QString kLink = QStringLiteral("javascript:alert('<b>x</b>')");
const QString kMailLink = QStringLiteral("mailto:x@example.com?attach=/etc/passwd");
const QString kDescription = QStringLiteral("<img src=\"/dev/zero\"> &lt;");
// At the columns' limits: one long word of 4-byte characters, and one without any space.
const QString kLongProject =
    QStringLiteral("x") + QString::fromUtf8("\U0001D11E").repeated(data::limits::kProjectName - 1);
const QString kLongUser = QString(data::limits::kUserName, QLatin1Char('M'));
const QString kLongTopic = QString(data::limits::kDocumentTopic - 1, QLatin1Char('W')) + QStringLiteral("<");

// A string literal of the statement text, whatever the text holds.
std::string lit(const QString& text)
{
    return "CONVERT(X'" + text.toUtf8().toHex().toStdString() + "' USING utf8mb4)";
}

// Every piece of markup of the values above, as the user must see it somewhere.
const QStringList kMarkers = {"<b>Proj</b>", "<script>", "Cat</a>", "<h1>Doc</h1>", "<I>EVE</I>",
                              "<b>Subj</b>",  "<b>x</b>", "<img src=\"/dev/zero\">"};

}  // namespace

class HostileText : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        m_db = vt::test::freshVeltranaDatabase("vt_hostile");
        writeFile("defaults.cfg", QByteArray::fromStdString(vt::test::defaultsLine(m_db)));
        sql("INSERT INTO Users (Username, password, Role, Firstname, Lastname, email) VALUES (" + lit(kUser) +
            ",'PW','USER'," + lit(kProject) + "," + lit(kRlo + "x") + "," + lit(kDescription) + ")");
        sql("INSERT INTO Projects (ProjectID, ProjectName, Description, ProjectManager) VALUES (1, " + lit(kProject) +
            "," + lit(kProjectText) + ",'ADMIN'), (2," + lit(kLongProject) + ",'','ADMIN')");
        sql("INSERT INTO Users (Username, password, Role) VALUES (" + lit(kLongUser) + ",'PW','USER')");
        sql("INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('ADMIN', 1), (" + lit(kUser) + ", 1), (" +
            lit(kLongUser) + ", 1), ('ADMIN', 2)");
        sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName, Description) VALUES (1, 1, " +
            lit(kCategory) + "," + lit(kProjectText) + ")");
        sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Created, Owner, Messages, "
            "Attachments) VALUES (10, 2, 1, " +
            lit(kTopic) + ", now(), " + lit(kUser) + ", 1, 1), (11, 2, 1, " + lit(kLongTopic) + ", now(), " +
            lit(kUser) + ", 0, 0)");
        sql("INSERT INTO Req_messages (msgID, Subject, Name, msg, created, RequirementID, ParentID, ProjectID) "
            "VALUES (1, " +
            lit(kSubject) + "," + lit(kUser) + "," + lit(kMessage) + ", '2026-05-06 07:08:09', 10, 0, 1)");
        sql("INSERT INTO msg_state (RequirementID, msgID, username, state) VALUES (10, 1, 'ADMIN', 1)");
        sql("INSERT INTO Attachments (AttachID, RequirementID, Link, Description, Owner, Created, Filetype) VALUES "
            "(1, 10, " +
            lit(kLink) + "," + lit(kDescription) + "," + lit(kUser) + ", now(), 0), (2, 10, " + lit(kMailLink) +
            ", '', " + lit(kUser) + ", now(), 0)");
        sql("INSERT INTO activity_Log (Note, ModifiedBy, ModifyDate, ProjectID, CatagoryID, DocumentID, msgID) "
            "VALUES ('UPD_DOC', " +
            lit(kUser) + ", now(), 1, 1, 10, 0)");
        sql("INSERT INTO Req_revisions (RequirementID, Revision, Saved, SavedBy, RequirementName, Document, DocSize) "
            "VALUES (10, 1, now(), " +
            lit(kUser) + "," + lit(kTopic) + ", NULL, 0)");
        startApp();
        QTest::keyClicks(&loginChild<QLineEdit>("UserID"), "ADMIN");
        QTest::keyClicks(&loginChild<QLineEdit>("Password"), "ADMIN");
        loginChild<QPushButton>("Button1").click();
        ASSERT_FALSE(login().isVisible()) << m_platform.messages().join("|").toStdString();
        m_platform.clear();
    }

    std::string sql(const std::string& statement) { return vt::test::runSql(statement, m_db); }

    void chooseProject(const QString& name)
    {
        auto& combo = mainChild<QComboBox>("Combo_projects");
        const int index = combo.findText(name);
        ASSERT_GE(index, 0);
        combo.setCurrentIndex(index);
        emit combo.textActivated(name);
    }
    QTreeWidget& outline() { return mainChild<QTreeWidget>("ProjectTree"); }
    void select(const QString& caption)
    {
        const auto found = outline().findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(found.size(), 1) << caption.toStdString();
        outline().setCurrentItem(found.front());
    }
    void showPage(const char* name)
    {
        mainChild<QTabWidget>("Tab_Control").setCurrentWidget(&mainChild<QWidget>(name));
    }

    // Every label and tooltip of every window holding a piece of the data's markup shows it as
    // it is, and every cell of every shown list shows its whole text as its tooltip.
    void expectShownLiterally(const char* where)
    {
        SCOPED_TRACE(where);
        for (QWidget* w : QApplication::allWidgets()) {
            const std::string name = w->objectName().toStdString();
            if (auto* label = qobject_cast<QLabel*>(w)) {
                const QString shown = shownText(label->text(), label->textFormat());
                for (const QString& m : kMarkers) {
                    if (label->text().contains(m)) {
                        EXPECT_TRUE(shown.contains(m)) << name << " " << m.toStdString();
                    }
                }
            }
            const QString tip = w->toolTip();
            for (const QString& m : kMarkers) {
                if (tip.contains(m)) {
                    EXPECT_TRUE(shownText(tip).contains(m)) << name << " " << m.toStdString();
                }
            }
        }
        for (QAbstractItemView* view : mainWindow().findChildren<QAbstractItemView*>()) {
            if (!view->isVisible() || !view->model() || qobject_cast<QHeaderView*>(view)) continue;
            std::vector<QModelIndex> cells;
            for (int r = 0; r < std::min(view->model()->rowCount(), 5); ++r)
                for (int c = 0; c < view->model()->columnCount(); ++c)
                    cells.push_back(view->model()->index(r, c));
            if (auto* tree = qobject_cast<QTreeWidget*>(view)) {
                cells.clear();
                for (QTreeWidgetItemIterator it(tree); *it; ++it)
                    for (int c = 0; c < tree->columnCount(); ++c)
                        if (!tree->isColumnHidden(c)) cells.push_back(tree->indexFromItem(*it, c));
            }
            for (const QModelIndex& cell : cells) {
                if (cell.data().toString().isEmpty()) continue;
                const QString tip = hoverTip(*view, cell);
                if (tip.isEmpty()) continue;
                const QString text = cell.data(Qt::ToolTipRole).toString().isEmpty()
                                         ? cell.data().toString()
                                         : shownText(cell.data(Qt::ToolTipRole).toString());
                if (text.contains(QChar(0))) continue;
                // Shown text of a tooltip breaks lines as a paragraph does; compare without them.
                EXPECT_EQ(shownText(tip).remove('\n'), QString(text).remove('\n'))
                    << view->objectName().toStdString();
            }
        }
        QToolTip::hideText();
    }

    std::string m_db;
};

TEST_F(HostileText, EveryWindowShowsTheRowsAsStored)
{
    auto& projects = mainChild<QComboBox>("Combo_projects");
    EXPECT_GE(projects.findText(kProject), 0);
    EXPECT_GE(projects.findText(kLongProject), 0);

    // The outline and the project panel.
    chooseProject(kProject);
    ASSERT_GE(outline().topLevelItemCount(), 1);
    EXPECT_EQ(outline().topLevelItem(0)->text(0), kProject);
    select(kProject);
    // The unread message: author and subject, and the date after them in its own order.
    auto& unread = mainChild<QListWidget>("ListBox1");
    ASSERT_EQ(unread.count(), 1);
    const QString entry = unread.item(0)->text();
    EXPECT_TRUE(withoutIsolates(entry).startsWith(kUser + "> \"" + kSubject + "\" (")) << entry.toStdString();
    EXPECT_TRUE(tailLeftToRight(entry, entry.lastIndexOf(" ("))) << entry.toStdString();
    EXPECT_EQ(mainChild<QLineEdit>("ProjectName").text(), kProject);
    EXPECT_EQ(mainChild<QPlainTextEdit>("ProjectDescription").toPlainText(), kProjectText);
    EXPECT_LE(mainWindow().minimumSizeHint().width(), m_platform.screen.width());
    EXPECT_FALSE(mainChild<QListWidget>("member_list").findItems(kUser, Qt::MatchExactly).isEmpty());
    expectShownLiterally("project");

    select(QStringLiteral("  ...") + kCategory);
    EXPECT_EQ(mainChild<QLineEdit>("CatagoryName").text(), kCategory);
    expectShownLiterally("category");

    // The document at its topic's limit, then the one every other place refers to.
    select(kLongTopic);
    EXPECT_EQ(mainChild<QLineEdit>("Edit_RequireMentName").text(), kLongTopic);
    select(kTopic);
    EXPECT_EQ(mainChild<QLineEdit>("Edit_RequireMentName").text(), kTopic);
    // Lists of names at their limit keep the window within the screen.
    QApplication::processEvents();
    EXPECT_LE(mainWindow().minimumSizeHint().width(), m_platform.screen.width());
    // The other user is online and edits it: the name's override ends before the program's words.
    sql("UPDATE Users SET lastPollRequest = now(), EditingDocument = 10, EditingSince = now() WHERE Username = " +
        lit(kUser));
    mainWindow().Refresh1Click();
    EXPECT_FALSE(mainChild<QListWidget>("OnlineList").findItems(kUser, Qt::MatchExactly).isEmpty());
    const QString editing = mainChild<QLabel>("EditingLine").text();
    EXPECT_TRUE(withoutIsolates(editing).startsWith(kUser + " is editing this document since "))
        << editing.toStdString();
    EXPECT_TRUE(tailLeftToRight(editing, editing.indexOf(" is editing"))) << editing.toStdString();
    expectShownLiterally("document");
    // The name offered for its PDF: no folder, no override that would show it in another order.
    mainChild<QAction>("ExportDocumentPdf1").trigger();
    ASSERT_EQ(m_platform.suggestedNames.size(), 1);
    EXPECT_EQ(QFileInfo(m_platform.suggestedNames[0]).fileName(),
              QString::fromUtf8("_qt__h1_Doc__h1_ e\u0301\u0301 \U00020BB7 _cod.pdf"));

    // The discussion: the subject's override does not reverse the author and date after it.
    showPage("Tab_Req_Discussions");
    auto& messages = mainChild<QTreeWidget>("DiscTree");
    ASSERT_EQ(messages.topLevelItemCount(), 1);
    const QString caption = messages.topLevelItem(0)->text(0);
    EXPECT_TRUE(withoutIsolates(caption).startsWith(kSubject + "     (" + kUser + "  ...")) << caption.toStdString();
    EXPECT_TRUE(tailLeftToRight(caption, caption.lastIndexOf(QStringLiteral("  ...")))) << caption.toStdString();
    messages.setCurrentItem(messages.topLevelItem(0));
    EXPECT_EQ(mainChild<QLabel>("Lab_Disc_Subject").text(), kSubject);
    EXPECT_EQ(mainChild<QLabel>("Lab_Disc_From").text(), kUser);
    EXPECT_EQ(mainChild<QPlainTextEdit>("Discussion_Text").toPlainText(), kMessage);
    expectShownLiterally("discussion");
    {
        // A subject and author at their limits, one word each: the window keeps its size.
        const QString longSubject = QString(data::limits::kMessageSubject, QLatin1Char('S'));
        sql("INSERT INTO Req_messages (msgID, Subject, Name, msg, created, RequirementID, ParentID, ProjectID) "
            "VALUES (2, " + lit(longSubject) + "," + lit(QString(data::limits::kUserName, QLatin1Char('N'))) +
            ", 'x', now(), 10, 0, 1)");
        sql("INSERT INTO msg_state (RequirementID, msgID, username, state) VALUES (10, 2, 'ADMIN', 2)");
        mainChild<QPushButton>("But_Disc_Refresh").click();
        const QSize before = mainWindow().size();
        const auto found = messages.findItems(longSubject, Qt::MatchStartsWith);
        ASSERT_EQ(found.size(), 1);
        messages.setCurrentItem(found.front());
        QApplication::processEvents();
        EXPECT_EQ(mainChild<QLabel>("Lab_Disc_Subject").text(), longSubject);
        EXPECT_EQ(mainWindow().size(), before);
        EXPECT_LE(mainWindow().minimumSizeHint().width(), m_platform.screen.width());
    }

    // Attachments: shown as stored; neither reference is handed to the desktop.
    showPage("Attachments");
    auto& references = mainChild<QTreeWidget>("ListView1");
    ASSERT_EQ(references.topLevelItemCount(), 2);
    EXPECT_EQ(references.topLevelItem(0)->text(0), kLink);
    EXPECT_EQ(references.topLevelItem(0)->text(1), kDescription);
    EXPECT_EQ(references.topLevelItem(0)->text(3), kUser);
    expectShownLiterally("attachments");
    for (int row = 0; row < 2; ++row) {
        m_platform.clear();
        references.setCurrentItem(references.topLevelItem(row));
        emit references.itemDoubleClicked(references.topLevelItem(row), 0);
        ASSERT_EQ(m_platform.shown.size(), 1u) << row;
        EXPECT_EQ(m_platform.shown[0].kind, "message") << row;
        EXPECT_TRUE(m_platform.shown[0].text.startsWith("The reference cannot be opened: "))
            << m_platform.shown[0].text.toStdString();
    }

    // History: who saved and the topic of each version.
    showPage("Tab_History");
    auto& history = mainChild<QTreeWidget>("HistoryList");
    ASSERT_EQ(history.topLevelItemCount(), 1);
    EXPECT_EQ(history.topLevelItem(0)->text(2), kUser);
    EXPECT_EQ(history.topLevelItem(0)->text(4), kTopic);
    history.setCurrentItem(history.topLevelItem(0));
    expectShownLiterally("history");

    // Search results: drawn from markup the program writes, with the data in it as text.
    mainChild<QLineEdit>("SearchEdit").setText(QStringLiteral("Doc"));
    mainChild<SearchBox>("SearchBox").runSearch();
    auto& results = mainChild<QTreeWidget>("SearchResults");
    ASSERT_GE(results.topLevelItemCount(), 1);
    QTreeWidgetItem* hit = results.topLevelItem(0)->child(0);
    ASSERT_NE(hit, nullptr);
    const QStringList lines = shownText(hit->text(0), Qt::RichText).split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(withoutIsolates(lines[0]), kTopic);
    EXPECT_EQ(shownText(hit->toolTip(0)), kTopic);
    EXPECT_TRUE(withoutIsolates(lines[1]).startsWith(kProject + " \u203A " + kCategory + " \u00B7 "))
        << lines[1].toStdString();
    // The overrides of the project and the category end before the date.
    EXPECT_TRUE(tailLeftToRight(lines[1], lines[1].lastIndexOf(" \u00B7 "))) << lines[1].toStdString();
    expectShownLiterally("search");
    results.hide();

    // Recent Updates: who saved which document of which project.
    mainChild<QAction>("LastModified1").trigger();
    auto& recent = *forms().Recent_upd_form;
    auto& grid = child<QTableView>(recent, "DBGrid1");
    ASSERT_EQ(grid.model()->rowCount(), 1);
    EXPECT_EQ(grid.model()->index(0, 1).data().toString(), kUser);
    EXPECT_EQ(grid.model()->index(0, 2).data().toString(), kTopic);
    EXPECT_EQ(grid.model()->index(0, 3).data().toString(), kProject);
    for (int c = 1; c < 4; ++c)
        EXPECT_EQ(shownText(hoverTip(grid, grid.model()->index(0, c))), grid.model()->index(0, c).data().toString());
    recent.hide();

    // The user grid.
    mainChild<QAction>("UserManagement1").trigger();
    auto& users = child<QTableView>(*forms().UserAdmin_form, "DBGrid1");
    bool found = false;
    for (int r = 0; r < users.model()->rowCount(); ++r) {
        for (int c = 0; c < users.model()->columnCount(); ++c) {
            const QModelIndex cell = users.model()->index(r, c);
            if (cell.data().toString() == kUser) found = true;
            if (!cell.data().toString().isEmpty()) {
                EXPECT_EQ(shownText(hoverTip(users, cell)), cell.data().toString()) << r << "," << c;
            }
        }
    }
    EXPECT_TRUE(found);
    forms().UserAdmin_form->hide();
    QToolTip::hideText();
    expectShownLiterally("end");
    EXPECT_EQ(m_platform.messages().size(), 1);  // the last refused reference only

    // The report's PDF of the project at its name's limit: cut at 120 characters, not inside a
    // 4-byte one.
    chooseProject(kLongProject);
    mainChild<QAction>("ExportReportPdf1").trigger();
    ASSERT_EQ(m_platform.suggestedNames.size(), 2);
    EXPECT_EQ(QFileInfo(m_platform.suggestedNames[1]).fileName(), kLongProject.left(119) + ".pdf");
}
