#pragma once

#include "kit/page.h"
#include "operations/accommodation.h"

#include <QString>

class QComboBox;
class QDateEdit;
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

private:
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
};

} // namespace orv
