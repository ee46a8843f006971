#include "aboutdialog.h"

#include "kit/colours.h"
#include "kit/form.h"
#include "programicon.h"

#include <QLabel>
#include <QPushButton>

namespace orv {

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutBox"));
    setWindowTitle(QStringLiteral("关于 Orvane"));
    setWindowIcon(programIcon());
    setFont(dialogFont(pageFontPointSize + 1));
    auto units = [this](int x, int y, int w, int h) { return dialogUnits(font(), x, y, w, h); };
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(units(0, 0, 235, 55).size());

    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(programIcon().pixmap(32, 32));
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
