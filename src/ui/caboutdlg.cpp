#include "caboutdlg.h"

#include "colours.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace orv {

namespace {
// The about box is laid out in units of its 9-point font.
QRect units(int x, int y, int w, int h)
{
    return QRect(x * 7 / 4, y * 2, w * 7 / 4, h * 2);
}
} // namespace

CAboutDlg::CAboutDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutBox"));
    setWindowTitle(QStringLiteral("关于 Orvane"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(units(0, 0, 235, 55).size());

    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(QIcon(QStringLiteral(":/orvane/orvane.png")).pixmap(32, 32));
    icon->setGeometry(QRect(units(11, 17, 0, 0).topLeft(), QSize(32, 32)));

    auto *version = new QLabel(QStringLiteral("Orvane Version 1.0"), this);
    version->setObjectName(QStringLiteral("aboutVersion"));
    version->setTextFormat(Qt::PlainText);
    version->setGeometry(units(40, 10, 119, 10));

    auto *copyright = new QLabel(QStringLiteral("版权所有 (C) 2026 Orvane"), this);
    copyright->setObjectName(QStringLiteral("aboutCopyright"));
    copyright->setGeometry(units(40, 25, 140, 10));

    // The tall, narrow button reads 确 over 定.
    auto *ok = new QPushButton(QStringLiteral("确\n定"), this);
    ok->setObjectName(QStringLiteral("aboutOk"));
    ok->setAccessibleName(QStringLiteral("确定"));
    ok->setGeometry(units(208, 7, 20, 41));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    applySharedColours(this);
}

} // namespace orv
