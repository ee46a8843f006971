#pragma once

#include <QDialog>

class QTextBrowser;

namespace orv {

// "使用说明": the user guide shipped inside the program, readable without a network.
class HelpDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HelpDialog)
public:
    explicit HelpDialog(QWidget *parent = nullptr);

    QTextBrowser *browser() const { return m_browser; }

private:
    QTextBrowser *m_browser;
};

} // namespace orv
