#include "windows/AboutForm.h"

#include "session/Session.h"
#include "ui/Ui.h"

#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

namespace vt::app {

using ui::named;

TAbout_Form::TAbout_Form(Session& session, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_session(session)
{
    setObjectName(QStringLiteral("About_Form"));
    setFixedSize(253, 181);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 8, 8, 12);

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    grid->addWidget(icon, 0, 0, Qt::AlignTop);

    m_title = named(new QLabel(this), "ProductName");
    m_title->setTextFormat(Qt::PlainText);
    QFont big = m_title->font();
    big.setPointSize(18);
    big.setBold(true);
    m_title->setFont(big);
    m_title->setAlignment(Qt::AlignCenter);
    grid->addWidget(m_title, 0, 1);

    auto* tm = new QLabel(QStringLiteral("TM"), this);
    QFont small = tm->font();
    small.setPointSize(6);
    tm->setFont(small);
    grid->addWidget(tm, 0, 2, Qt::AlignTop);

    auto* memo = named(new QPlainTextEdit(this), "Memo1");
    memo->setPlainText(QStringLiteral("Team oriented collaboration tool \n"
                                      "providing centralized access to \n"
                                      "shared documents and discussions."));
    memo->setEnabled(false);
    memo->setFrameShape(QFrame::NoFrame);
    memo->document()->setDefaultTextOption(QTextOption(Qt::AlignCenter));
    grid->addWidget(memo, 1, 0, 1, 3);

    auto* version = named(new QLabel(QStringLiteral("Version " VT_VERSION), this), "Version");
    version->setAlignment(Qt::AlignCenter);
    grid->addWidget(version, 2, 0, 1, 3);

    auto* notice = named(new QLabel(QStringLiteral("All rights reserved."), this), "Copyright");
    notice->setAlignment(Qt::AlignCenter);
    grid->addWidget(notice, 3, 0, 1, 3);

    auto* close = named(new QPushButton(QStringLiteral("Close"), this), "OKButton");
    grid->addWidget(close, 4, 0, 1, 3, Qt::AlignHCenter);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);

    ui::onShow(this, [this] { FormShow(); });
}

void TAbout_Form::FormShow() { m_title->setText(m_session.AppTitle); }

}  // namespace vt::app
