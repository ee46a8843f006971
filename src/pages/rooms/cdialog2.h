#pragma once

#include "data/fieldvalue.h"
#include "kit/page.h"

#include <array>
#include <memory>

class QLineEdit;
class QPushButton;

namespace orv {

class Recordset;
class ReportList;

// The room settings page: one room's form, the list of all rooms, and adding, modifying and
// deleting rooms in floorinfo.
class CDialog2 final : public Page {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CDialog2)
public:
    explicit CDialog2(Connection &connection, QWidget *parent = nullptr);
    ~CDialog2() override;

    void OnListRooms();
    // A click on the list: the row hit, or -1 when the click hit no row.
    void OnClickRoomList(int row);
    void OnAddRoom();
    void OnModifyRoom();
    void OnDeleteRoom();

    // Slots of the row buffer, one per floorinfo column (public for the file's column table).
    enum RoomField { RoomNo, Phone, Sex, PhonePort, NetPort, Capacity, WaterBase, PowerBase, Residents, Vacancies };

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Reads the controls into the members, field by field, stopping at the first fault.
    bool readForm();
    void writeForm();
    // Walks floorinfo into the list; returns the number of rooms found.
    int fillList();
    void appendBufferRow(std::int64_t bookmark);
    // To the room of list row m_nItem; when the row no longer shows the room at its place, the
    // list is filled again, the user told, and false returned.
    bool moveToItem();
    // Deletes the room of list row m_nItem from the table and the list.
    void removeItem();
    void endOperation();

    // Add-room steps. A refusal has been shown when the check returns false.
    bool addFormComplete();
    // The form's values into m_rowRoom.
    void bufferFormRow();
    // Stores m_rowRoom as a new room, with the residents numinfo still counts for its number.
    void addBufferedRoom();
    // stored: the rooms in the table before the new one.
    void showAddedRoom(long stored);

    QLineEdit *m_editRoomNo = nullptr;
    QLineEdit *m_editPhone = nullptr;
    QLineEdit *m_editPhonePort = nullptr;
    QLineEdit *m_editNetPort = nullptr;
    QLineEdit *m_editCapacity = nullptr;
    QLineEdit *m_editWaterBase = nullptr;
    QLineEdit *m_editPowerBase = nullptr;
    QLineEdit *m_editSex = nullptr;

    // The form.
    QString m_strRoomNo;
    QString m_strPhone;
    QString m_strPhonePort;
    QString m_strNetPort;
    int m_nCapacity = 6;
    double m_dWaterBase = 0;
    double m_dPowerBase = 0;
    QString m_strSex;

    ReportList *m_listRooms = nullptr;
    QPushButton *m_btnModify = nullptr;
    QPushButton *m_btnDelete = nullptr;

    std::array<FieldValue, 10> m_rowRoom;
    std::unique_ptr<Recordset> m_pRoomSet;
    std::unique_ptr<Recordset> m_pNumSet;
    int m_nItem = -1;
};

} // namespace orv
