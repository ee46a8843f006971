#pragma once

#include "kit/page.h"
#include "operations/rooms.h"

class QLineEdit;
class QPushButton;

namespace orv {

class ReportList;

// The room settings page: one room's form, the list of all rooms, and adding, modifying and
// deleting rooms in floorinfo.
class RoomsPage final : public Page {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RoomsPage)
public:
    explicit RoomsPage(Connection &connection, QWidget *parent = nullptr);
    ~RoomsPage() override;

    void OnListRooms();
    // A click on the list: the row hit, or -1 when the click hit no row.
    void OnClickRoomList(int row);
    void OnAddRoom();
    void OnModifyRoom();
    void OnDeleteRoom();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Reads the controls into the form, field by field, stopping at the first fault.
    bool readForm();
    void writeForm();
    // Lists every room afresh; returns what listing them said.
    ops::Outcome fillList();
    // The list row m_nItem, as modify and delete are given it.
    ops::RoomRow selectedRow() const;
    // A refused modify or delete: a row that no longer shows its room is listed afresh first.
    void refuseRow(const ops::Outcome &refusal);
    void endOperation();

    QLineEdit *m_editRoomNo = nullptr;
    QLineEdit *m_editPhone = nullptr;
    QLineEdit *m_editPhonePort = nullptr;
    QLineEdit *m_editNetPort = nullptr;
    QLineEdit *m_editCapacity = nullptr;
    QLineEdit *m_editWaterBase = nullptr;
    QLineEdit *m_editPowerBase = nullptr;
    QLineEdit *m_editSex = nullptr;

    ops::RoomForm m_form;

    ReportList *m_listRooms = nullptr;
    QPushButton *m_btnModify = nullptr;
    QPushButton *m_btnDelete = nullptr;

    int m_nItem = -1;
};

} // namespace orv
