#pragma once

#include "kit/page.h"

#include <QString>

class QLabel;
class QLineEdit;
class QListWidget;

namespace orv {

class ReportList;

// The information-queries tab: lists and searches residents, and finds rooms by a chosen field.
// It only ever reads the database.
class QueriesPage final : public Page {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QueriesPage)
public:
    explicit QueriesPage(Connection &connection, QWidget *parent = nullptr);
    ~QueriesPage() override;

    void OnListAllPersons();
    void OnQueryPersons();
    void OnChooseField();
    void OnQueryRooms();

    // While one criterion edit has the focus the other two are disabled, so that only one
    // criterion is typed at a time.
    void OnSetFocusName();
    void OnKillFocusName();
    void OnSetFocusSex();
    void OnKillFocusSex();
    void OnSetFocusRoom();
    void OnKillFocusRoom();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Copies the edits' texts into the text members; this page has no validation rules.
    void DoDataExchange();

    QLineEdit *m_editName = nullptr;
    QLineEdit *m_editSex = nullptr;
    QLineEdit *m_editRoom = nullptr;
    QLineEdit *m_editQueryValue = nullptr;
    QListWidget *m_lbQueryField = nullptr;
    QLabel *m_staticChosenField = nullptr;
    ReportList *m_listPersons = nullptr;
    ReportList *m_listRoomResult = nullptr;

    QString m_strName;
    QString m_strSex;
    QString m_strRoom;
    QString m_strQueryField;
    QString m_strQueryValue;
};

} // namespace orv
