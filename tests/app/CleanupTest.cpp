// Clean-up of temporary files: the first start writes the batch file, later starts have a
// separate process erase vt_* and *.rvf in the work folder.

#include "platform/Cleanup.h"
#include "AppFixture.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

using vt::app::matchesShellWildcard;

TEST(ShellWildcard, MatchesLikeEraseDoes)
{
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"vt_*.*", "vt_img1.png", true}, {"vt_*.*", "vt_noext", true},        {"vt_*.*", "VT_Upper.JPG", true},
        {"vt_*.*", "avt_x.png", false},  {"vt_*.*", "vtranTemp.html", false}, {"*.rvf", "12.rvf", true},
        {"*.rvf", "12.RVF", true},       {"*.rvf", "12.rvf.bak", false},      {"*.rvf", "rvf", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(matchesShellWildcard(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
}

class Cleanup : public AppFixture {};

TEST_F(Cleanup, FirstStartWritesTheBatchFileWithoutRunningIt)
{
    writeFile("vt_picture.png", "x");
    writeFile("7.rvf", "x");
    startApp();
    EXPECT_EQ(readFile("vtcleanup.bat"), QByteArray("erase vt_*.*\r\nerase *.rvf\r\n"));
    for (const auto& shown : m_platform.shown)
        EXPECT_NE(shown.kind, "batch");
    EXPECT_TRUE(QFileInfo::exists(path("vt_picture.png")));
    EXPECT_TRUE(QFileInfo::exists(path("7.rvf")));
}

TEST_F(Cleanup, SecondStartErasesTemporaryFilesInASeparateProcess)
{
    startApp();  // first start: writes the batch file
    stopApp();

    const QStringList removed = {"vt_img1.png", "vt_noext", "VT_Upper.JPG", "12.rvf", "3.RVF"};
    const QStringList kept = {"keep.txt", "avt_x.png", "vtranTemp.html", "12.rvf.bak", "defaults.cfg"};
    for (const QString& name : removed + kept)
        writeFile(name, "x");

    m_platform.runBatches = true;
    startApp();
    ASSERT_EQ(m_platform.shown.size(), 1u);
    EXPECT_EQ(m_platform.shown.front().kind, "batch");
    EXPECT_EQ(m_platform.shown.front().text, path("vtcleanup.bat"));

    // The program does not wait; the separate process finishes on its own.
    QDeadlineTimer deadline(15000);
    auto anyLeft = [&] {
        for (const QString& name : removed)
            if (QFileInfo::exists(path(name))) return true;
        return false;
    };
    while (anyLeft() && !deadline.hasExpired())
        QThread::msleep(50);
    for (const QString& name : removed)
        EXPECT_FALSE(QFileInfo::exists(path(name))) << name.toStdString();
    for (const QString& name : kept)
        EXPECT_TRUE(QFileInfo::exists(path(name))) << name.toStdString();
    EXPECT_TRUE(QFileInfo::exists(path("vtcleanup.bat")));
}

TEST_F(Cleanup, BatchInterpreterIgnoresOtherLinesAndOtherFolders)
{
    QDir().mkdir(path("sub"));
    writeFile("sub/vt_inner.png", "x");
    writeFile("vt_a", "x");
    writeFile("notes.txt", "x");
    writeFile("odd.bat", "rem erase notes.txt\r\ndel notes.txt\r\nerase ../*.txt sub/vt_*.*\r\n"
                         "ERASE vt_*.*\r\n");
    EXPECT_EQ(vt::app::runBatchFile(path("odd.bat"), m_dir.path()), 1);
    EXPECT_FALSE(QFileInfo::exists(path("vt_a")));
    EXPECT_TRUE(QFileInfo::exists(path("notes.txt")));
    EXPECT_TRUE(QFileInfo::exists(path("sub/vt_inner.png")));
}

TEST_F(Cleanup, TwoInstancesInOneFolderHaveTemporaryFilesOfTheirOwn)
{
    // Two users started from one folder, and two that started and ended before them.
    vt::app::Session first, second;
    QStringList leftovers;
    {
        vt::app::Session ended, endedToo;
        leftovers << ended.tempFilePath("TempReq.rvf") << endedToo.tempFilePath("TempReq.rvf");
    }
    QStringList live;
    for (const vt::app::Session* s : {&first, &second})
        for (const char* name : {"TempReq.rvf", "prmOut.rvf"})
            live << s->tempFilePath(name);
    live.removeDuplicates();
    ASSERT_EQ(live.size(), 4) << live.join(' ').toStdString();
    for (const QString& file : live + leftovers) {
        EXPECT_EQ(QFileInfo(file).absolutePath(), QFileInfo(m_dir.path()).absoluteFilePath());
        EXPECT_TRUE(vt::app::matchesShellWildcard("*.rvf", QFileInfo(file).fileName())) << file.toStdString();
        writeFile(QFileInfo(file).fileName(), file.toUtf8());
    }
    writeFile("prmOut.rvf", "a file of an earlier version");

    // A third instance starts: it takes the number of the first instance that ended (and that
    // one's files), its clean-up the files of the other, and those of the two still running stay
    // as they wrote them.
    vt::app::Session third;
    EXPECT_EQ(third.tempFilePath("TempReq.rvf"), leftovers[0]);
    EXPECT_FALSE(QFileInfo::exists(leftovers[0]));
    writeFile("vtcleanup.bat", "erase vt_*.*\r\nerase *.rvf\r\n");
    EXPECT_EQ(vt::app::runBatchFile(path("vtcleanup.bat"), m_dir.path()), 2);
    EXPECT_FALSE(QFileInfo::exists(leftovers[1]));
    EXPECT_FALSE(QFileInfo::exists(path("prmOut.rvf")));
    for (const QString& file : live)
        EXPECT_EQ(readFile(QFileInfo(file).fileName()), file.toUtf8()) << file.toStdString();
}
