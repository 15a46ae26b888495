#include "AboutForm.h"

#include "Forms.h"
#include "MainWindow.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

namespace vt::app {

TAbout_Form::TAbout_Form(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("About_Form"));
    setFixedSize(253, 181);

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    icon->setGeometry(8, 8, 32, 32);

    titleLabel = new QLabel(this);
    titleLabel->setObjectName(QStringLiteral("ProductName"));
    QFont big = titleLabel->font();
    big.setPointSize(18);
    big.setBold(true);
    titleLabel->setFont(big);
    titleLabel->setAlignment(Qt::AlignCenter);
    titleLabel->setGeometry(44, 8, 170, 34);

    auto* tm = new QLabel(QStringLiteral("TM"), this);
    QFont small = tm->font();
    small.setPointSize(6);
    tm->setFont(small);
    tm->setGeometry(216, 10, 20, 12);

    auto* memo = new QPlainTextEdit(this);
    memo->setObjectName(QStringLiteral("Memo1"));
    memo->setPlainText(QStringLiteral("Team oriented collaboration tool \n"
                                      "providing centralized access to \n"
                                      "shared documents and discussions."));
    memo->setEnabled(false);
    memo->setFrameShape(QFrame::NoFrame);
    memo->setGeometry(16, 50, 221, 58);
    memo->document()->setDefaultTextOption(QTextOption(Qt::AlignCenter));

    auto* notice = new QLabel(QStringLiteral("All rights reserved."), this);
    notice->setObjectName(QStringLiteral("Copyright"));
    notice->setAlignment(Qt::AlignCenter);
    notice->setGeometry(8, 114, 237, 16);

    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("OKButton"));
    close->setGeometry(89, 144, 75, 25);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
}

void TAbout_Form::showEvent(QShowEvent* event)
{
    if (TVeltrana* main = forms().Veltrana)
        titleLabel->setText(main->AppTitle);
    QDialog::showEvent(event);
}

} // namespace vt::app
