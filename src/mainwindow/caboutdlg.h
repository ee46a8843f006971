#pragma once

#include <QDialog>

namespace orv {

// "关于 Orvane": the icon, the version and the tall OK button.
class CAboutDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CAboutDlg)
public:
    explicit CAboutDlg(QWidget *parent = nullptr);
};

} // namespace orv
