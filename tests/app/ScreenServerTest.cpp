// The windows on the screen with real data from the private test server: the window's place,
// splitters and columns kept per user over a restart; every list, grid and tree cutting long
// text with its whole text in the tooltip and showing its selection; readable text everywhere
// under a light and a dark palette (screenshots are written for a person to look at).

#include "AppFixture.h"
#include "ShownText.h"
#include "TestServer.h"

#include "richtext/RichEditor.h"
#include "ui/Colours.h"
#include "ui/WindowLayout.h"
#include "windows/Forms.h"
#include "windows/RecentUpdForm.h"
#include "windows/UserAdminForm.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHash>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>

#include <functional>

using namespace vt::app;

namespace {

// Longer than any column is wide, with text of several scripts and markup that must stay text.
QString longText(const char* start)
{
    return QString::fromUtf8(start) + QStringLiteral(" Ünïcödé <b>not bold</b> ") + QString(260, QLatin1Char('x')) +
           QStringLiteral(" END");
}

std::string quoted(const QString& text) { return "'" + text.toStdString() + "'"; }

// The most common colour of the area (its background) and the best contrast of any pixel of
// the area against it: text, lines or pictures that a reader can make out score 4.5 and more.
double readability(const QImage& image, const QRect& area)
{
    QHash<QRgb, int> counts;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            ++counts[image.pixel(x, y) | 0xFF000000];
    QRgb background = 0;
    int most = -1;
    for (auto it = counts.begin(); it != counts.end(); ++it)
        if (it.value() > most) most = it.value(), background = it.key();
    double best = 1;
    for (auto it = counts.begin(); it != counts.end(); ++it)
        best = std::max(best, ui::contrast(QColor::fromRgb(background), QColor::fromRgb(it.key())));
    return best;
}

// The share of the area's pixels that have this colour.
double share(const QImage& image, const QRect& area, const QColor& colour)
{
    const QRect inside = area.intersected(image.rect());
    int hits = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            hits += (image.pixel(x, y) | 0xFF000000) == (colour.rgb() | 0xFF000000);
    return inside.isEmpty() ? 0 : double(hits) / (inside.width() * inside.height());
}

QPalette darkPalette()
{
    QPalette p;
    const QColor window(0x2b, 0x2b, 0x2b), base(0x1e, 0x1e, 0x1e), text(0xee, 0xee, 0xee);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(g, QPalette::Window, window);
        p.setColor(g, QPalette::WindowText, text);
        p.setColor(g, QPalette::Base, base);
        p.setColor(g, QPalette::AlternateBase, window);
        p.setColor(g, QPalette::Text, text);
        p.setColor(g, QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
        p.setColor(g, QPalette::ButtonText, text);
        p.setColor(g, QPalette::ToolTipBase, base);
        p.setColor(g, QPalette::ToolTipText, text);
        p.setColor(g, QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
        p.setColor(g, QPalette::HighlightedText, Qt::white);
        p.setColor(g, QPalette::PlaceholderText, QColor(0x99, 0x99, 0x99));
        p.setColor(g, QPalette::Light, QColor(0x50, 0x50, 0x50));
        p.setColor(g, QPalette::Midlight, QColor(0x40, 0x40, 0x40));
        p.setColor(g, QPalette::Mid, QColor(0x30, 0x30, 0x30));
        p.setColor(g, QPalette::Dark, QColor(0x20, 0x20, 0x20));
        p.setColor(g, QPalette::Shadow, Qt::black);
    }
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button, QPalette::Light,
                                     QPalette::Midlight, QPalette::Mid, QPalette::Dark, QPalette::Shadow})
        p.setColor(QPalette::Disabled, role, p.color(QPalette::Active, role));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0x80, 0x80, 0x80));
    return p;
}

}  // namespace

class ScreenServer : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        m_db = vt::test::freshVeltranaDatabase("vt_screen");
        writeFile("defaults.cfg", QByteArray::fromStdString(vt::test::defaultsLine(m_db)));
        sql("INSERT INTO Users (Username, password, Role, email, lastPollRequest) VALUES ('BOB','PW','USER', " +
            quoted(longText("bob@")) + ", now()), (" + quoted(m_longUser) + ", 'PW', 'USER', '', now())");
        sql("INSERT INTO Projects (ProjectID, ProjectName, Description, ProjectManager) VALUES "
            "(1, 'Alpha', 'About alpha', 'ADMIN')");
        sql("INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('ADMIN', 1), ('BOB', 1), (" + quoted(m_longUser) +
            ", 1)");
        sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName, Description) VALUES (1, 1, 'Area', '')");
        sql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Created, Owner, Messages, "
            "Attachments) VALUES (10, 2, 1, " +
            quoted(m_longDocument) + ", now(), 'ADMIN', 1, 1)");
        sql("INSERT INTO Req_objects (RequirementID, Document) VALUES (10, X'" + body().toHex().toStdString() + "')");
        sql("INSERT INTO Req_messages (msgID, Subject, Name, msg, created, RequirementID, ProjectID, ParentID) "
            "VALUES (1, " +
            quoted(m_longSubject) + ", 'BOB', 'text', '2026-12-10 09:08:07', 10, 1, 0)");
        sql("INSERT INTO msg_state (RequirementID, msgID, username, state) VALUES (10, 1, 'ADMIN', 1)");
        sql("INSERT INTO Attachments (RequirementID, Link, Description, Owner, Created, Filetype) VALUES "
            "(10, 'http://example.org/', " +
            quoted(m_longDescription) + ", 'BOB', '2026-12-10 10:11:12', 1)");
        sql("INSERT INTO activity_Log (Note, ModifiedBy, ModifyDate, ProjectID, CatagoryID, DocumentID, msgID) "
            "VALUES ('UPD_DOC', 'BOB', '2026-12-10 10:11:12', 1, 1, 10, 0)");
    }

    QByteArray body()
    {
        vt::rt::RichEditor editor;
        editor.appendParagraph(QStringLiteral("The body of the document, in black on its paper."));
        return editor.saveToBytes();
    }
    std::string sql(const std::string& statement) { return vt::test::runSql(statement, m_db); }

    void loginAs(const char* user, const char* password)
    {
        loginChild<QLineEdit>("UserID").setText(QString::fromLatin1(user));
        loginChild<QLineEdit>("Password").setText(QString::fromLatin1(password));
        loginChild<QPushButton>("Button1").click();
        ASSERT_EQ(m_platform.messages(), QStringList{});
        ASSERT_TRUE(session().isLoggedIn());
    }
    void chooseProject(const QString& name)
    {
        auto& combo = mainChild<QComboBox>("Combo_projects");
        const int index = combo.findText(name);
        ASSERT_GE(index, 0);
        combo.setCurrentIndex(index);
        emit combo.textActivated(name);
    }
    void select(const QString& caption)
    {
        auto& tree = mainChild<QTreeWidget>("ProjectTree");
        const auto found = tree.findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(found.size(), 1) << caption.toStdString();
        tree.setCurrentItem(found.front());
    }
    void showDocument()
    {
        chooseProject("Alpha");
        select(m_longDocument);
        ASSERT_TRUE(mainChild<QWidget>("Pan_Req_Panel").isVisible());
    }
    static void settle()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
    }

    // The cell of view whose text is text; invalid when there is none.
    static QModelIndex cellWith(const QAbstractItemView& view, const QString& text)
    {
        const QAbstractItemModel* model = view.model();
        std::function<QModelIndex(const QModelIndex&)> find = [&](const QModelIndex& parent) -> QModelIndex {
            for (int r = 0; r < model->rowCount(parent); ++r)
                for (int c = 0; c < model->columnCount(parent); ++c) {
                    const QModelIndex i = model->index(r, c, parent);
                    if (i.data().toString() == text) return i;
                    if (c == 0)
                        if (const QModelIndex below = find(i); below.isValid()) return below;
                }
            return {};
        };
        return find({});
    }

    // The tooltip shown when the mouse rests over the cell.
    static QString tipOver(QAbstractItemView& view, const QModelIndex& index)
    {
        view.scrollTo(index);
        const QRect cell = view.visualRect(index);
        const QPoint at(cell.left() + std::min(20, cell.width() / 2), cell.center().y());
        QToolTip::hideText();
        QHelpEvent help(QEvent::ToolTip, at, view.viewport()->mapToGlobal(at));
        QApplication::sendEvent(view.viewport(), &help);
        return QToolTip::text();
    }

    // Where each view is shown, and the long value in it.
    struct ViewCase {
        const char* view;
        QString text;
        std::function<QWidget&()> window;
        std::function<void()> show;
    };
    std::vector<ViewCase> viewCases()
    {
        auto main = [this]() -> QWidget& { return mainWindow(); };
        auto tab = [this](const char* control, const char* page) {
            return [this, control, page] {
                auto& tabs = mainChild<QTabWidget>(control);
                tabs.setCurrentWidget(&mainChild<QWidget>(page));
            };
        };
        return {
            {"ProjectTree", m_longDocument, main, [] {}},
            {"ListBox1", QString(), main, [] {}},
            {"OnlineList", m_longUser, main, [] {}},
            {"member_list", m_longUser, main,
             [this, tab] {
                 select("Alpha");
                 tab("PageControl1", "Tab_members")();
             }},
            {"DiscTree", QString(), main,
             [this, tab] {
                 select(m_longDocument);
                 tab("Tab_Control", "Tab_Req_Discussions")();
             }},
            {"ListView1", m_longDescription, main, tab("Tab_Control", "Attachments")},
            {"DBGrid1", m_longDocument, []() -> QWidget& { return *forms().Recent_upd_form; },
             [] { forms().Recent_upd_form->show(); }},
            {"DBGrid1", longText("bob@"), []() -> QWidget& { return *forms().UserAdmin_form; },
             [] { forms().UserAdmin_form->show(); }},
        };
    }

    std::string m_db;
    const QString m_longUser = longText("MEMBER").toUpper();
    const QString m_longDocument = longText("1.1.1 Product");
    const QString m_longSubject = longText("Subject");
    const QString m_longDescription = longText("Description");
};

TEST_F(ScreenServer, PlacesSplittersAndColumnsAreKeptPerUserOverARestart)
{
    startApp();
    loginAs("ADMIN", "ADMIN");
    showDocument();
    TVeltrana& w = mainWindow();
    const QRect first = w.geometry();
    const QRect place(60, 70, 1100, 800);
    w.setGeometry(place);
    settle();
    auto& splitter = mainChild<QSplitter>("Splitter1");
    splitter.setSizes({333, place.width() - 333 - splitter.handleWidth()});
    const int navigatorWidth = splitter.sizes().value(0);
    mainChild<QTabWidget>("Tab_Control").setCurrentWidget(&mainChild<QWidget>("Attachments"));
    auto& attachments = mainChild<QTreeWidget>("ListView1");
    attachments.setColumnWidth(1, 321);
    mainChild<QAction>("Loggoff1").trigger();

    // Another user gets the first place, not ADMIN's.
    loginAs("BOB", "PW");
    EXPECT_EQ(w.geometry(), first);
    mainChild<QAction>("Loggoff1").trigger();

    stopApp();
    startApp();
    loginAs("ADMIN", "ADMIN");
    TVeltrana& again = mainWindow();
    EXPECT_EQ(again.geometry(), place);
    EXPECT_EQ(mainChild<QSplitter>("Splitter1").sizes().value(0), navigatorWidth);
    EXPECT_EQ(mainChild<QTreeWidget>("ListView1").columnWidth(1), 321);

    // A place kept on a larger screen comes back inside today's screen.
    mainChild<QAction>("Loggoff1").trigger();
    m_platform.settings.insert(ui::userSettingsKey("ADMIN") + "mainWindow/geometry", QRect(2600, 1500, 2400, 1600));
    loginAs("ADMIN", "ADMIN");
    EXPECT_TRUE(m_platform.screen.contains(mainWindow().geometry()));
}

TEST_F(ScreenServer, EveryListGridAndTreeCutsLongTextAndShowsItWholeInTheTooltip)
{
    startApp();
    loginAs("ADMIN", "ADMIN");
    showDocument();
    for (ViewCase& c : viewCases()) {
        SCOPED_TRACE(c.view);
        c.show();
        settle();
        auto& view = child<QAbstractItemView>(c.window(), c.view);
        ASSERT_TRUE(view.isVisible());
        EXPECT_EQ(view.textElideMode(), Qt::ElideRight);
        if (auto* table = qobject_cast<QTableView*>(&view)) EXPECT_FALSE(table->wordWrap());
        if (auto* tree = qobject_cast<QTreeView*>(&view)) {
            EXPECT_FALSE(tree->wordWrap());
            for (int i = 0; i < tree->header()->count(); ++i)
                EXPECT_EQ(tree->header()->sectionResizeMode(i), QHeaderView::Interactive) << i;
        }
        if (auto* table = qobject_cast<QTableView*>(&view))
            for (int i = 0; i < table->horizontalHeader()->count(); ++i)
                EXPECT_EQ(table->horizontalHeader()->sectionResizeMode(i), QHeaderView::Interactive) << i;
        // The cell with the long value (or the first line of the list) tells all of it.
        QModelIndex cell = c.text.isEmpty() ? view.model()->index(0, 0) : cellWith(view, c.text);
        ASSERT_TRUE(cell.isValid());
        const QString whole = cell.data().toString();
        EXPECT_GT(view.fontMetrics().horizontalAdvance(whole), view.visualRect(cell).width());
        EXPECT_EQ(vt::test::shownText(tipOver(view, cell)), whole);
        if (!c.text.isEmpty()) EXPECT_TRUE(whole.contains(c.text));
    }
    forms().Recent_upd_form->hide();
    forms().UserAdmin_form->hide();
}

TEST_F(ScreenServer, TitlesAndDatesAreNeverCut)
{
    startApp();
    loginAs("ADMIN", "ADMIN");
    mainChild<QAction>("LastModified1").trigger();
    auto& grid = child<QTableView>(*forms().Recent_upd_form, "DBGrid1");
    settle();
    QHeaderView* header = grid.horizontalHeader();
    ASSERT_EQ(header->count(), 4);
    for (int i = 0; i < header->count(); ++i)
        EXPECT_GE(header->sectionSize(i), header->sectionSizeHint(i)) << i;
    const QString date = grid.model()->index(0, 0).data().toString();
    EXPECT_TRUE(date.startsWith("2026-12-10") || date.contains("12/10") || date.contains("10/12") ||
                date.contains("10.12"))
        << date.toStdString();
    EXPECT_GE(grid.columnWidth(0), grid.fontMetrics().horizontalAdvance(date));
    forms().Recent_upd_form->hide();

    // The attachments' "Created:" column.
    showDocument();
    mainChild<QTabWidget>("Tab_Control").setCurrentWidget(&mainChild<QWidget>("Attachments"));
    auto& attachments = mainChild<QTreeWidget>("ListView1");
    ASSERT_EQ(attachments.topLevelItemCount(), 1);
    const QString created = attachments.topLevelItem(0)->text(2);
    EXPECT_TRUE(date.startsWith(created)) << created.toStdString();
    EXPECT_GE(attachments.columnWidth(2), static_cast<QAbstractItemView&>(attachments).sizeHintForColumn(2));
}

// The selected row shows in the desktop's highlight colour with its text readable on it.
TEST_F(ScreenServer, TheSelectionShowsInEveryListGridAndTree)
{
    startApp();
    loginAs("ADMIN", "ADMIN");
    showDocument();
    for (ViewCase& c : viewCases()) {
        SCOPED_TRACE(c.view);
        c.show();
        settle();
        auto& view = child<QAbstractItemView>(c.window(), c.view);
        const QModelIndex cell = c.text.isEmpty() ? view.model()->index(0, 0) : cellWith(view, c.text);
        ASSERT_TRUE(cell.isValid());
        view.setCurrentIndex(cell);
        view.selectionModel()->select(cell, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        view.clearFocus();
        const QImage shot = view.viewport()->grab().toImage();
        const QRect row = view.visualRect(cell).adjusted(1, 1, -1, -1);
        const double highlighted =
            std::max(share(shot, row, view.palette().color(QPalette::Active, QPalette::Highlight)),
                     share(shot, row, view.palette().color(QPalette::Inactive, QPalette::Highlight)));
        EXPECT_GT(highlighted, 0.4);
        // The desktop's own highlight and highlighted text (Fusion's blue with white is 3.6).
        EXPECT_GE(readability(shot, row), 3.0);
    }
    forms().Recent_upd_form->hide();
    forms().UserAdmin_form->hide();
}

// Screenshots of the main window with a document and of Recent Updates, under the light and a
// dark palette; every region that holds text has text that reads on its background.
TEST_F(ScreenServer, TextReadsUnderLightAndDarkPalettes)
{
    const QPalette original = QApplication::palette();
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        QApplication::setPalette(dark ? darkPalette() : original);
        startApp();
        loginAs("ADMIN", "ADMIN");
        showDocument();
        mainChild<QTabWidget>("Tab_Control").setCurrentWidget(&mainChild<QWidget>("Tab_Req_Discussions"));
        mainChild<QAction>("LastModified1").trigger();
        settle();
        TVeltrana& w = mainWindow();
        const QImage shot = w.grab().toImage();
        const QImage recent = forms().Recent_upd_form->grab().toImage();
        const QString folder = QStringLiteral(VT_SCREENSHOT_DIR);
        QDir().mkpath(folder);
        const QString name = dark ? QStringLiteral("dark") : QStringLiteral("light");
        EXPECT_TRUE(shot.save(folder + "/main-window-" + name + ".png"));
        EXPECT_TRUE(recent.save(folder + "/recent-updates-" + name + ".png"));

        auto regionOf = [&w](const QWidget& widget) { return QRect(widget.mapTo(&w, QPoint(0, 0)), widget.size()); };
        // Text and pictures that must read: the body, the outline, the group titles, the
        // discussion, the status bar and the toolbar's glyphs.
        for (const char* name : {"RichEdit1", "ProjectTree", "GroupBox5", "GroupBox2", "DiscTree", "StatusBar1",
                                 "btnBold", "btnSave", "btnFontColor", "Combo_projects"}) {
            SCOPED_TRACE(name);
            const auto& widget = child<QWidget>(w, name);
            EXPECT_GE(readability(shot, regionOf(widget)), std::string(name).starts_with("btn") ? 3.0 : 4.5);
        }
        // The frame and the content follow the palette: dark under the dark one.
        const QColor frame = shot.pixelColor(regionOf(mainChild<QWidget>("BackGround")).topLeft() + QPoint(2, 2));
        EXPECT_EQ(ui::isDark(w.palette()), dark);
        EXPECT_EQ(frame.lightness() < 128, dark) << frame.name().toStdString();

        auto& grid = child<QTableView>(*forms().Recent_upd_form, "DBGrid1");
        const QRect cells(grid.viewport()->mapTo(forms().Recent_upd_form, QPoint(0, 0)), grid.viewport()->size());
        const QRect titles(grid.horizontalHeader()->mapTo(forms().Recent_upd_form, QPoint(0, 0)),
                           grid.horizontalHeader()->size());
        EXPECT_GE(readability(recent, cells), 4.5);
        EXPECT_GE(readability(recent, titles), 4.5);

        forms().Recent_upd_form->hide();
        mainChild<QAction>("Loggoff1").trigger();
        stopApp();
    }
    QApplication::setPalette(original);
}
