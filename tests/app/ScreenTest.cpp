// The main window on the screen: its first place fits the available screen at every scale and
// shows a body's text width whole; kept places are fitted to today's screen; splitter and column
// states round-trip; the toolbar's glyphs are distinct and sharp on high-DPI screens.

#include "AppFixture.h"

#include "platform/QtPlatform.h"
#include "richtext/RichEditor.h"
#include "ui/WindowLayout.h"

#include <QApplication>
#include <QHeaderView>
#include <QIcon>
#include <QSettings>
#include <QSplitter>
#include <QStandardPaths>
#include <QToolButton>
#include <QTreeWidget>

#include <cmath>

using namespace vt::app;

class Screen : public AppFixture {};

// The scripted screen is a 1400 by 1000 screen with a 40-pixel panel, as the desktop reports it
// in device-independent pixels at each scale factor: what is checked is the window's own
// placement against that report (Qt's offscreen platform scales nothing itself).
TEST_F(Screen, MainWindowFitsTheScreenAtEveryScale)
{
    for (double scale : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(scale);
        m_platform.screen = QRect(0, 0, int(std::floor(1400 / scale)), int(std::floor(960 / scale)));
        startApp();
        TVeltrana& w = mainWindow();
        const QRect frame = w.geometry().adjusted(-ui::kFrameAllowanceX / 2, -(ui::kFrameAllowanceY - 4),
                                                  ui::kFrameAllowanceX / 2, ui::kFrameAllowanceX / 2);
        EXPECT_TRUE(m_platform.screen.contains(frame))
            << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
        // A sensible share of the screen, not a fixed small window.
        EXPECT_GE(w.width(), m_platform.screen.width() * 3 / 4);
        EXPECT_GE(w.height(), m_platform.screen.height() * 3 / 4);

        if (scale == 1.0) {
            // A document beside the navigator: the editor shows the body's text width whole.
            mainChild<QWidget>("pan_Navigator").show();
            mainChild<QWidget>("Pan_Content").show();
            mainChild<QWidget>("Pan_Project_Overview").hide();
            mainChild<QWidget>("Pan_Req_Panel").show();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QCoreApplication::processEvents();
            auto& editor = mainChild<vt::rt::RichEditor>("RichEdit1");
            ASSERT_EQ(editor.lineWrapMode(), QTextEdit::FixedPixelWidth);
            EXPECT_GE(editor.viewport()->width(), editor.lineWrapColumnOrWidth());
            EXPECT_GE(mainChild<QWidget>("pan_Navigator").width(), 200);
        }
        stopApp();
    }
}

TEST(WindowPlaces, KeptPlaceIsFittedIntoTheScreen)
{
    const QRect screen(0, 0, 1400, 960);
    const int top = ui::kFrameAllowanceY - ui::kFrameAllowanceX / 2;
    const int left = ui::kFrameAllowanceX / 2;
    struct Case {
        const char* what;
        QRect kept, fitted;
    };
    const Case cases[] = {
        {"inside stays", {100, 80, 900, 700}, {100, 80, 900, 700}},
        {"from a screen to the right", {2000, 80, 900, 700}, {1400 - 4 - 900, 80, 900, 700}},
        {"above and left of the screen", {-500, -300, 900, 700}, {left, top, 900, 700}},
        {"larger than the screen", {0, 0, 2800, 2000}, {left, top, 1400 - 8, 960 - 32}},
        {"hanging off the bottom", {100, 800, 900, 700}, {100, 960 - 4 - 700, 900, 700}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ui::fitIntoScreen(c.kept, screen), c.fitted);
    }
    // A screen that does not start at 0,0 (a second monitor).
    EXPECT_EQ(ui::fitIntoScreen({0, 0, 500, 400}, {1920, 0, 1280, 1000}), QRect(1920 + left, top, 500, 400));
}

TEST(WindowPlaces, FirstPlaceTakesTheWantedWidthWhereTheScreenHasRoomForIt)
{
    const QSize wanted(1120, 817);
    // Room for it: the wanted width at least, centred.
    const QRect wide = ui::firstPlace({0, 0, 1400, 960}, wanted);
    EXPECT_GE(wide.width(), 1120);
    EXPECT_EQ(wide.left() + wide.width() / 2, 700);
    // A small screen: all of it, no more.
    const QRect small = ui::firstPlace({0, 0, 800, 600}, wanted);
    EXPECT_EQ(small.size(), QSize(800 - ui::kFrameAllowanceX, 600 - ui::kFrameAllowanceY));
    EXPECT_TRUE(QRect(0, 0, 800, 600).contains(small));
}

TEST(WindowPlaces, SplitterAndColumnStatesRoundTripAndIgnoreWhatNoLongerFits)
{
    QWidget root;
    root.resize(800, 600);
    auto* splitter = new QSplitter(&root);
    splitter->setObjectName("Split");
    splitter->addWidget(new QWidget);
    splitter->addWidget(new QWidget);
    splitter->resize(800, 600);
    auto* tree = new QTreeWidget(splitter);
    tree->setObjectName("List");
    tree->setColumnCount(3);
    tree->header()->setStretchLastSection(false);
    splitter->setSizes({300, 250, 250});
    const QList<int> set = splitter->sizes();  // as the splitter's width shares them out
    tree->setColumnWidth(0, 40);
    tree->setColumnWidth(1, 210);
    const QVariantMap kept = ui::layoutState(root);
    EXPECT_EQ(kept.value("splitters/Split").toList().size(), 3);
    EXPECT_EQ(kept.value("columns/List").toList().value(1).toInt(), 210);

    splitter->setSizes({100, 100, 600});
    tree->setColumnWidth(0, 90);
    tree->setColumnWidth(1, 90);
    ui::applyLayoutState(root, kept);
    EXPECT_EQ(splitter->sizes(), set);
    EXPECT_EQ(tree->columnWidth(0), 40);
    EXPECT_EQ(tree->columnWidth(1), 210);

    // Another number of panes or columns, negative or non-numeric values: nothing changes.
    const QList<int> before = splitter->sizes();
    for (const QVariantList& bad :
         {QVariantList{500, 300}, QVariantList{-1, 400, 400}, QVariantList{"x", 1, 2}, QVariantList{0, 0, 0}}) {
        ui::applyLayoutState(root, {{"splitters/Split", bad}, {"columns/List", bad}});
        EXPECT_EQ(splitter->sizes(), before);
        EXPECT_EQ(tree->columnWidth(1), 210);
    }
}

TEST(WindowPlaces, UserNamesMakeOneSettingsGroupEach)
{
    EXPECT_EQ(ui::userSettingsKey("ADMIN"), "users/ADMIN/");
    EXPECT_NE(ui::userSettingsKey("A/B"), ui::userSettingsKey("A") + "B/");
    EXPECT_FALSE(ui::userSettingsKey("A/B").mid(6).chopped(1).contains('/'));
    EXPECT_FALSE(ui::userSettingsKey("A\\B").mid(6).chopped(1).contains('\\'));
}

// The desktop's store (in Qt's test location, not the user's own settings) gives back what the
// window keeps: a place, a flag and a layout of lists, under a user name with a slash in it.
TEST(WindowPlaces, DesktopSettingsStoreGivesBackWhatWasKept)
{
    QStandardPaths::setTestModeEnabled(true);
    const QString user = ui::userSettingsKey(QString::fromUtf8("ÜSER/ONE"));
    {
        QtPlatform desktop;
        desktop.setSetting(user + "mainWindow/geometry", QRect(10, 20, 1100, 800));
        desktop.setSetting(user + "mainWindow/maximized", true);
        desktop.setSetting(user + "mainWindow/layout",
                           QVariantMap{{"splitters/Splitter1", QVariantList{300, 800}},
                                       {"columns/ListView1", QVariantList{250, 150, 70, 130, 0}}});
    }
    QtPlatform later;
    EXPECT_EQ(later.setting(user + "mainWindow/geometry").toRect(), QRect(10, 20, 1100, 800));
    EXPECT_TRUE(later.setting(user + "mainWindow/maximized").toBool());
    const QVariantMap layout = later.setting(user + "mainWindow/layout").toMap();
    EXPECT_EQ(layout.value("splitters/Splitter1").toList(), (QVariantList{300, 800}));
    EXPECT_EQ(layout.value("columns/ListView1").toList().size(), 5);
    EXPECT_FALSE(later.setting(ui::userSettingsKey("NOBODY") + "mainWindow/geometry").isValid());
    EXPECT_FALSE(later.availableScreen(QPoint(0, 0)).isEmpty());
    QSettings("Veltrana", "Veltrana").remove(user.chopped(1));
}

TEST_F(Screen, ToolbarGlyphsAreDistinctAndSharpAtDoubleScale)
{
    startApp();
    auto image = [this](const char* button, qreal scale) {
        return mainChild<QToolButton>(button).icon().pixmap(QSize(16, 16), scale).toImage();
    };
    // Save, Save As and the two colour commands each have a picture of their own.
    const char* distinct[] = {"btnSave", "btnSaveAs", "btnFontColor", "btnFontBackColor"};
    for (const char* a : distinct)
        for (const char* b : distinct)
            if (a != b) EXPECT_NE(image(a, 1), image(b, 1)) << a << " looks like " << b;

    // At scale 2 every glyph has 32 by 32 pixels of its own (a 16-pixel picture alone would
    // come back at 16 by 16).
    for (QToolButton* button : mainWindow().findChildren<QToolButton*>()) {
        if (!button->objectName().startsWith("btn") || button->icon().isNull()) continue;
        SCOPED_TRACE(button->objectName().toStdString());
        const QPixmap sharp = button->icon().pixmap(QSize(16, 16), 2.0);
        EXPECT_EQ(sharp.size(), QSize(32, 32));
        EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
    }
}
