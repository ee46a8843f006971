#pragma once

#include <QDialog>

namespace orv {

// "关于 Orvane": the icon, the version and the tall OK button.
class AboutDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutDialog)
public:
    explicit AboutDialog(QWidget *parent = nullptr);
};

} // namespace orv
