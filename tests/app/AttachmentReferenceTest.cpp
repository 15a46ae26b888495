// Which stored references the program hands to the desktop: web links, mail addresses that
// attach no files and existing files that are no programs; every other scheme, executable,
// launcher and missing file is refused.

#include "data/Attachments.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace attachments = vt::app::data::attachments;

namespace {

void makeFile(const QString& path, bool executable = false)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write("content");
    f.close();
    if (executable) QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner | QFile::ExeUser);
}

}  // namespace

TEST(AttachmentReference, OnlyWebLinksAndPlainExistingFilesAreOpened)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString doc = dir.filePath("report 'q' ü.pdf");
    const QString script = dir.filePath("run");
    const QString launcher = dir.filePath("evil.desktop");
    const QString exe = dir.filePath("setup.EXE");
    const QString toScript = dir.filePath("harmless.txt");
    makeFile(doc);
    makeFile(script, true);
    makeFile(launcher);
    makeFile(exe);
    ASSERT_TRUE(QFile::link(script, toScript));
    const QString longLink = "https://example.com/" + QString(600, 'x');

    struct Case {
        QString reference;
        QString opened;  // empty: refused
    };
    const Case cases[] = {
        {"http://example.com/a?b=1", "http://example.com/a?b=1"},
        {"HTTPS://Example.com/a b", "HTTPS://Example.com/a b"},
        {"ftp://files.example.com/x.zip", "ftp://files.example.com/x.zip"},
        {"mailto:team@example.com", "mailto:team@example.com"},
        {"mailto:a@example.com?subject=Files%20attached&body=see%20attachment",
         "mailto:a@example.com?subject=Files%20attached&body=see%20attachment"},
        {"mailto:a@example.com?attach=/etc/passwd", ""},
        {"MAILTO:a@example.com?subject=x&Attachment=%2Fhome%2Fu%2F.ssh%2Fid_rsa", ""},
        {"mailto:a@example.com?subject=x;attach=~/.ssh/id_rsa", ""},
        {"mailto:a@example.com?%61ttach=/etc/passwd", ""},  // a key in percent-encoding
        {"  http://example.com/  ", "http://example.com/"},
        {longLink, longLink},  // longer than 515 characters: passed whole
        {doc, doc},
        {QUrl::fromLocalFile(doc).toString(), doc},
        {"http://", ""},
        {"javascript:alert(1)", ""},
        {"JavaScript:alert(1)", ""},
        {" javascript:alert(1)", ""},
        {"data:text/html,<script>alert(1)</script>", ""},
        {"vbscript:msgbox", ""},
        {"myapp://do?x=1", ""},
        {"smb://server/share/x.doc", ""},
        {"file:///" + launcher.mid(1), ""},
        {script, ""},
        {launcher, ""},
        {exe, ""},
        {toScript, ""},  // a link is judged by the file it leads to
        {dir.path(), ""},
        {dir.filePath("missing.doc"), ""},
        {"C:/Docs/plan.doc", ""},
        {"", ""},
        {QString::fromUtf16(u"http://example.com/\0x", 21), ""},
    };
    for (const Case& c : cases) {
        const auto check = attachments::checkReference(c.reference);
        EXPECT_EQ(check.target.toStdString(), c.opened.toStdString()) << c.reference.toStdString();
        if (c.opened.isEmpty()) {
            EXPECT_TRUE(check.refusal.startsWith("The reference cannot be opened: ")) << c.reference.toStdString();
            EXPECT_TRUE(check.refusal.contains(c.reference)) << c.reference.toStdString();
        } else {
            EXPECT_TRUE(check.refusal.isEmpty()) << c.reference.toStdString();
        }
    }
}

TEST(AttachmentReference, FilePathsAreStoredWithForwardSlashesWebLinksAsTyped)
{
    EXPECT_EQ(attachments::storedReference(attachments::File, "C:\\Docs\\plan.doc"), "C:/Docs/plan.doc");
    EXPECT_EQ(attachments::storedReference(attachments::File, "\\\\server\\share\\"), "//server/share/");
    EXPECT_EQ(attachments::storedReference(attachments::WebLink, "http://x/a\\b"), "http://x/a\\b");
    EXPECT_EQ(attachments::storedReference(2, "a\\b"), "a\\b");
}
