#pragma once

#include "kit/page.h"
#include "operations/accommodation.h"

#include <QString>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orv {

class ReportList;

// The accommodation tab: check-in, check-out and the lists of rooms with and without free beds.
class AccommodationPage final : public Page {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AccommodationPage)
public:
    explicit AccommodationPage(Connection &connection, QWidget *parent = nullptr);
    ~AccommodationPage() override;

    void OnFreeRooms();
    void OnFullRooms();
    void OnClearList();
    void OnCheckIn();
    void OnCheckOut();

    // While there is no room, a line tells where to begin, naming the tabs of the fee page and the
    // room page by these titles.
    void setFirstStartHint(const QString &feesTab, const QString &roomsTab);

protected:
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;

private:
    // Shows the first-start line while the store holds no room.
    void updateFirstStartHint();

    // true: controls into members; false: members into controls.
    void DoDataExchange(bool bSaveAndValidate);
    void listRooms(bool freeRooms);
    // Reads the form; the sex and date come straight from their widgets.
    ops::CheckInForm checkInForm();

    ReportList *m_listRooms = nullptr;

    QString m_strOutStaffNo;
    QString m_strOutRoom;
    QString m_strName;
    QString m_strDept;
    QString m_strStaffNo;
    QString m_strMobile;
    QString m_strRoom;

    QComboBox *m_cbSex = nullptr;
    QDateEdit *m_dtCheckIn = nullptr;

    QLineEdit *m_editOutStaffNo = nullptr;
    QLineEdit *m_editOutRoom = nullptr;
    QLineEdit *m_editName = nullptr;
    QLineEdit *m_editDept = nullptr;
    QLineEdit *m_editStaffNo = nullptr;
    QLineEdit *m_editMobile = nullptr;
    QLineEdit *m_editRoom = nullptr;

    QLabel *m_firstStartHint = nullptr;
};

} // namespace orv
