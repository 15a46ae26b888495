// User administration on the real windows against the private test server: the gate, the
// accounts grid, creating, editing, setting passwords and deleting accounts (the master account
// kept by both deletes), with account names holding a quote and a backslash.

#include "AppFixture.h"
#include "TestServer.h"
#include "session/Passwords.h"
#include "windows/Forms.h"
#include "windows/UserAdminForm.h"
#include "windows/UserCreateForm.h"
#include "windows/UserEditorForm.h"

#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

using namespace vt::app;

class UserAdmin : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        m_db = vt::test::freshVeltranaDatabase("vt_users");
        writeFile("defaults.cfg", QByteArray::fromStdString(vt::test::defaultsLine(m_db)));
        sql("INSERT INTO Users (Username, password, FirstName, Role) VALUES ('BOB','PW','Bob','USER'),"
            "('O\\'B\\\\X','PW','Quote','admin')");
        movePerUserIfAsked(m_db);
        startApp();
    }

    std::string sql(const std::string& statement) { return vt::test::runSql(statement, m_db); }

    void loginAs(const char* user, const char* password)
    {
        QTest::keyClicks(&loginChild<QLineEdit>("UserID"), user);
        QTest::keyClicks(&loginChild<QLineEdit>("Password"), password);
        loginChild<QPushButton>("Button1").click();
        ASSERT_FALSE(login().isVisible()) << m_platform.messages().join("|").toStdString();
        m_platform.clear();
    }
    void openAdministration()
    {
        mainChild<QAction>("UserManagement1").trigger();
        ASSERT_TRUE(admin().isVisible());
    }

    TUserAdmin_form& admin() const { return *forms().UserAdmin_form; }
    TForm_UserEditor& editor() const { return *forms().Form_UserEditor; }
    TForm_UserCreate& creator() const { return *forms().Form_UserCreate; }
    QTableView& grid() const { return child<QTableView>(admin(), "DBGrid1"); }
    void menu(const char* item) const { child<QAction>(admin(), item).trigger(); }

    // The user names the grid shows, in its order.
    QStringList gridNames() const
    {
        QStringList names;
        auto* model = grid().model();
        for (int r = 0; r < model->rowCount(); ++r)
            names << model->data(model->index(r, 1)).toString();
        return names;
    }
    void selectUser(const QString& name)
    {
        const int row = gridNames().indexOf(name);
        ASSERT_GE(row, 0) << name.toStdString();
        grid().setCurrentIndex(grid().model()->index(row, 0));
    }
    QString stored(const std::string& column, const std::string& escapedName)
    {
        return QString::fromUtf8(sql("SELECT " + column + " FROM Users WHERE Username='" + escapedName + "'"))
            .trimmed();
    }

    std::string m_db;
};

TEST_F(UserAdmin, OnlyAdministratorsOpenTheGridWithItsColumns)
{
    loginAs("bob", "pw");
    mainChild<QAction>("UserManagement1").trigger();
    EXPECT_EQ(m_platform.messages(), QStringList{"You must have Admin rights to Add New Users"});
    EXPECT_FALSE(admin().isVisible());

    mainChild<QAction>("Loggoff1").trigger();
    loginAs("o'b\\x", "pw");  // role stored as "admin": administrators in any case
    openAdministration();
    EXPECT_EQ(admin().windowTitle(), "User Account Administration");
    auto* model = grid().model();
    QStringList titles;
    for (int c = 0; c < model->columnCount(); ++c)
        titles << model->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(titles, (QStringList{"Role", "UserName *", "First Name", "Last Name", "Email", "Position"}));
    const int widths[] = {51, 88, 106, 106, 176, 150};
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(grid().columnWidth(c), widths[c]) << c;
    EXPECT_TRUE(model->data(model->index(0, 1), Qt::FontRole).value<QFont>().bold());
    EXPECT_FALSE(model->data(model->index(0, 2), Qt::FontRole).value<QFont>().bold());
    QStringList names = gridNames();
    names.sort();
    EXPECT_EQ(names, (QStringList{"ADMIN", "BOB", "O'B\\X"}));
    EXPECT_EQ(grid().selectionBehavior(), QAbstractItemView::SelectRows);
}

// Selecting a row leaves the column titles as they were: only the user name's title is bold.
TEST_F(UserAdmin, SelectingARowDoesNotTurnTheColumnTitlesBold)
{
    loginAs("o'b\\x", "pw");
    openAdministration();
    QHeaderView& header = *grid().horizontalHeader();
    auto title = [&](int section) {
        return header
            .grab(QRect(header.sectionViewportPosition(section), 0, header.sectionSize(section), header.height()))
            .toImage();
    };
    grid().clearSelection();
    const QImage userNameBefore = title(1), firstNameBefore = title(2);
    selectUser("BOB");
    ASSERT_TRUE(grid().selectionModel()->isRowSelected(grid().currentIndex().row()));
    EXPECT_EQ(title(1), userNameBefore);
    EXPECT_EQ(title(2), firstNameBefore);
    auto* model = grid().model();
    for (int c = 0; c < model->columnCount(); ++c)
        EXPECT_EQ(model->headerData(c, Qt::Horizontal, Qt::FontRole).value<QFont>().bold(), c == 1) << c;
}

TEST_F(UserAdmin, CreateRefusesANameInUseAndDifferingPasswordsThenStoresAHash)
{
    loginAs("admin", "admin");
    openAdministration();
    menu("AddUser1");
    ASSERT_TRUE(creator().isVisible());
    auto& create = child<QPushButton>(creator(), "Button2");
    EXPECT_FALSE(create.isEnabled());
    auto type = [&](const char* name, const QString& text) {
        auto& edit = child<QLineEdit>(creator(), name);
        edit.clear();
        QTest::keyClicks(&edit, text);
    };

    type("UserName", "bob");
    EXPECT_TRUE(create.isEnabled());
    type("Password", "a");
    type("Password2", "a");
    create.click();
    EXPECT_EQ(m_platform.messages(), QStringList{"Username Already in use - try another"});
    EXPECT_TRUE(creator().isVisible());
    EXPECT_EQ(child<QLineEdit>(creator(), "UserName").text(), "BOB");  // entries stay

    m_platform.clear();
    type("UserName", "n'e\\w");
    type("Password", "s'3\\");
    type("Password2", "s'3");
    create.click();
    EXPECT_EQ(m_platform.messages(), QStringList{"Password entries are not identical. Try Again"});
    EXPECT_EQ(sql("SELECT count(*) FROM Users"), "3\n");

    m_platform.clear();
    type("Password2", "s'3\\");
    child<QLineEdit>(creator(), "FirstName").setText(QString::fromUtf8("Zoë 'q'"));  // not typeable
    type("Email", "a\\b@x");
    child<QRadioButton>(creator(), "RadioGroup1_Admin").click();
    create.click();
    EXPECT_EQ(m_platform.messages(), QStringList{});
    EXPECT_FALSE(creator().isVisible());
    EXPECT_TRUE(gridNames().contains("N'E\\W"));  // the grid was reloaded
    const std::string name = "N\\'E\\\\W";
    EXPECT_EQ(stored("FirstName", name), QString::fromUtf8("Zoë 'q'"));
    EXPECT_EQ(stored("email", name), "a\\\\b@x");  // the client's batch output escapes "\"
    EXPECT_EQ(stored("Role", name), "ADMIN");
    EXPECT_NE(stored("Created", name), "NULL");
    const QString hash = stored("password", name);
    if (perUser()) {
        EXPECT_EQ(hash, "");  // the server account holds the password
    } else {
        EXPECT_TRUE(passwords::isHash(hash)) << hash.toStdString();
        EXPECT_TRUE(passwords::matches(hash, "S'3\\"));
    }

    // Shown again, the window starts empty with "User" chosen and the button disabled.
    creator().hide();
    menu("AddUser1");
    EXPECT_EQ(child<QLineEdit>(creator(), "UserName").text(), "");
    EXPECT_EQ(child<QLineEdit>(creator(), "Password").text(), "");
    EXPECT_TRUE(child<QRadioButton>(creator(), "RadioGroup1_User").isChecked());
    EXPECT_FALSE(create.isEnabled());

    // The new account logs in with its password. (A new server account's password is a one-time
    // one, renewed at the first login: PerUserLogin follows that.)
    if (perUser()) return;
    mainChild<QAction>("Loggoff1").trigger();
    loginAs("n'e\\w", "s'3\\");
    EXPECT_EQ(session().UserRole, "ADMIN");
}

TEST_F(UserAdmin, EditorUpdatesProfileAndRoleAndSetsPasswordsByUpperCaseName)
{
    sql("UPDATE Users SET Username='o\\'b\\\\x' WHERE Username='O\\'B\\\\X'");  // stored mixed case
    loginAs("admin", "admin");
    openAdministration();
    auto& update = child<QPushButton>(editor(), "Button2");
    auto& setPassword = child<QPushButton>(editor(), "Button1");
    auto& roles = child<QGroupBox>(editor(), "RadioGroup1");

    // The master account: its role cannot be changed here.
    selectUser("ADMIN");
    QTest::mouseClick(grid().viewport(), Qt::LeftButton, {}, grid().visualRect(grid().currentIndex()).center());
    QTest::mouseDClick(grid().viewport(), Qt::LeftButton, {}, grid().visualRect(grid().currentIndex()).center());
    ASSERT_TRUE(editor().isVisible());
    EXPECT_EQ(child<QLabel>(editor(), "Lab_Username").text(), "ADMIN");
    EXPECT_FALSE(roles.isEnabled());
    EXPECT_TRUE(child<QRadioButton>(editor(), "RadioGroup1_Admin").isChecked());
    editor().hide();

    selectUser("o'b\\x");
    menu("EditUser1");
    EXPECT_EQ(editor().windowTitle(), "Update User Account");
    EXPECT_EQ(child<QLineEdit>(editor(), "FirstName").text(), "Quote");
    EXPECT_TRUE(roles.isEnabled());
    EXPECT_TRUE(child<QRadioButton>(editor(), "RadioGroup1_Admin").isChecked());  // "admin"
    EXPECT_FALSE(update.isEnabled());                                             // filling is no change
    EXPECT_FALSE(setPassword.isEnabled());

    // Set Password: stays open, emptied, disabled; the stored value is a hash.
    QTest::keyClicks(&child<QLineEdit>(editor(), "Password"), "n'w\\");
    EXPECT_TRUE(setPassword.isEnabled());
    setPassword.click();
    EXPECT_TRUE(editor().isVisible());
    EXPECT_EQ(child<QLineEdit>(editor(), "Password").text(), "");
    EXPECT_FALSE(setPassword.isEnabled());
    const QString hash = stored("password", "O\\'B\\\\X");
    if (!perUser()) EXPECT_TRUE(passwords::matches(hash, "N'W\\")) << hash.toStdString();

    QTest::keyClicks(&child<QLineEdit>(editor(), "Position"), "Chief 'x' \\");
    EXPECT_TRUE(update.isEnabled());
    child<QRadioButton>(editor(), "RadioGroup1_User").click();
    update.click();
    EXPECT_EQ(m_platform.messages(), QStringList{});
    EXPECT_FALSE(editor().isVisible());
    EXPECT_EQ(stored("Position", "O\\'B\\\\X"), "Chief 'x' \\\\");
    EXPECT_EQ(stored("Role", "O\\'B\\\\X"), "USER");
    EXPECT_EQ(stored("Username", "O\\'B\\\\X"), "o'b\\\\x");  // the name itself is untouched
}

TEST_F(UserAdmin, MasterAccountIsRefusedByBothDeletesInAnyLetterCase)
{
    sql("INSERT INTO Users (Username, password, Role) VALUES ('BOSS','PW','ADMIN')");
    perUserAccount("BOSS", "PW");
    loginAs("boss", "pw");
    sql("UPDATE Users SET Username='aDmIn' WHERE Username='ADMIN'");
    openAdministration();
    menu("Refresh1");
    for (const auto& remove : {std::function<void()>([&] { menu("DeleteUser1"); }), std::function<void()>([&] {
                                   QTest::keyClick(&grid(), Qt::Key_Delete, Qt::ControlModifier);
                               })}) {
        m_platform.clear();
        m_platform.answers = {Platform::Answer::Yes};
        selectUser("aDmIn");
        remove();
        ASSERT_EQ(m_platform.shown.size(), 1u);
        EXPECT_EQ(m_platform.shown[0].kind, "message");
        EXPECT_EQ(m_platform.shown[0].text, "You cannot delete the Master Admin Account");
        EXPECT_EQ(sql("SELECT count(*) FROM Users WHERE Username='ADMIN'"), "1\n");
    }

    // An administrator may delete their own account, after confirming, and stays logged in.
    m_platform.clear();
    m_platform.answers = {Platform::Answer::No, Platform::Answer::Yes};
    selectUser("BOSS");
    menu("DeleteUser1");
    EXPECT_EQ(sql("SELECT count(*) FROM Users WHERE Username='BOSS'"), "1\n");
    selectUser("BOSS");
    menu("DeleteUser1");
    ASSERT_EQ(m_platform.shown.size(), 2u) << m_platform.messages().join("|").toStdString();
    EXPECT_EQ(m_platform.shown[1].kind, "confirm");
    EXPECT_EQ(m_platform.shown[1].text, "Are you sure you want to delete user: BOSS");
    EXPECT_EQ(sql("SELECT count(*) FROM Users WHERE Username='BOSS'"), "0\n");
    EXPECT_FALSE(gridNames().contains("BOSS"));
    EXPECT_EQ(session().CurrentUser, "BOSS");
}

TEST_F(UserAdmin, CtrlDeleteAsksOkCancelAndDeletesThroughTheLiveResult)
{
    loginAs("admin", "admin");
    openAdministration();
    const QStringList before = gridNames();
    const int row = before.indexOf("O'B\\X");
    selectUser("O'B\\X");

    m_platform.answers = {Platform::Answer::Cancel};
    QTest::keyClick(&grid(), Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_EQ(m_platform.shown.size(), 1u);
    EXPECT_EQ(m_platform.shown[0].kind, "okcancel");
    EXPECT_EQ(m_platform.shown[0].text, "Delete record?");
    EXPECT_EQ(gridNames(), before);

    m_platform.clear();
    m_platform.answers = {Platform::Answer::Yes};
    QTest::keyClick(&grid(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(m_platform.messages(), QStringList{});
    EXPECT_EQ(sql("SELECT count(*) FROM Users WHERE Username='O\\'B\\\\X'"), "0\n");
    QStringList after = before;
    after.removeAt(row);
    EXPECT_EQ(gridNames(), after);
    EXPECT_EQ(grid().currentIndex().row(), std::min(row, int(after.size()) - 1));
}

// Painting the grid behind the question reads its cells and moves the query's cursor to the
// last row drawn; the delete must still take the row the user chose, not that one.
TEST_F(UserAdmin, CtrlDeleteTakesTheChosenRowWhateverTheGridPaintsMeanwhile)
{
    loginAs("admin", "admin");
    openAdministration();
    const QStringList before = gridNames();
    ASSERT_GE(before.size(), 3);
    QString chosen;  // a plain account that is not the last row, which painting ends on
    for (int r = 0; r + 1 < before.size() && chosen.isEmpty(); ++r)
        if (before.at(r) != "ADMIN" && !before.at(r).contains('\'')) chosen = before.at(r);
    ASSERT_FALSE(chosen.isEmpty());
    selectUser(chosen);
    admin().resize(800, 600);
    m_platform.whileAsking = [this] { (void)grid().grab(); };
    m_platform.answers = {Platform::Answer::Yes};
    QTest::keyClick(&grid(), Qt::Key_Delete, Qt::ControlModifier);
    m_platform.whileAsking = nullptr;

    EXPECT_EQ(m_platform.messages(), QStringList{});
    EXPECT_EQ(sql("SELECT count(*) FROM Users WHERE Username='" + chosen.toStdString() + "'"), "0\n");
    EXPECT_EQ(sql("SELECT count(*) FROM Users"), std::to_string(before.size() - 1) + "\n");
    QStringList after = before;
    after.removeAll(chosen);
    EXPECT_EQ(gridNames(), after);
}
