#pragma once

#include "data/fieldvalue.h"
#include "data/recordset.h"
#include "kit/page.h"

#include <QString>

#include <memory>

class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;

namespace orv {

class ReportList;

// The accommodation tab: check-in, check-out and the lists of rooms with and without free beds.
class CDialog1 final : public Page {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CDialog1)
public:
    explicit CDialog1(Connection &connection, QWidget *parent = nullptr);
    ~CDialog1() override;

    void OnFreeRooms();
    void OnFullRooms();
    void OnClearList();
    void OnCheckIn();
    void OnCheckOut();

private:
    // true: controls into members; false: members into controls.
    void DoDataExchange(bool bSaveAndValidate);
    void listRooms(bool freeRooms);

    // Check-in steps. Each refusal has been shown when a check returns false.
    bool checkInFormComplete(const QString &date, const QString &sex);
    // Leaves m_pRoomSet on the room and its counters in the members.
    bool findRoomWithFreeBed(const FieldValue &room);
    void takeBed(const FieldValue &room);
    void countInto(const FieldValue &room);
    void addResident(const FieldValue &staffNo, const QString &sex, const QString &date, const FieldValue &room);

    // Check-out steps.
    // Leaves m_pPersonSet on the resident.
    bool findResidentOf(const FieldValue &staffNo, const FieldValue &room);
    void countOutOf(const FieldValue &room);
    void freeBed(const FieldValue &room);

    ReportList *m_listRooms = nullptr;
    std::unique_ptr<Recordset> m_pRoomSet;
    std::unique_ptr<Recordset> m_pNumSet;
    std::unique_ptr<Recordset> m_pPersonSet;

    FieldValue m_varVacant;
    FieldValue m_varCapacity;
    FieldValue m_varOccupants;

    int m_nVacant = 0;
    int m_nCapacity = 0;
    int m_nItem = 0;
    int m_nOccupants = 0;

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
