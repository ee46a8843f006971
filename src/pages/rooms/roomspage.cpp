#include "roomspage.h"

#include "data/columns.h"
#include "data/recordset.h"
#include "kit/form.h"
#include "kit/listactions.h"
#include "kit/messagebox.h"
#include "kit/reportlist.h"

#include <QEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include <cmath>

namespace orv {

namespace {

// Labels sit left of their field, on the field's text line.
constexpr LabelLine kLabelLine{1, 3, 10};

constexpr int kRoomNoBytes = 20;
constexpr int kPhoneBytes = 15;
constexpr int kReadingMin = 1;
// Every reading a utility settlement can store, so a modified room can always be added back.
constexpr int kReadingMax = 999999;

// A meter reading is held as a double, but only its whole part counts against the range.
bool readReading(QLineEdit *edit, double &value)
{
    if (!exchange::readDouble(edit, value))
        return false;
    const double whole = std::trunc(value);
    if (whole >= kReadingMin && whole <= kReadingMax)
        return true;
    showMessage(edit->window(),
                QStringLiteral("请输入一个介于 %1 和 %2 之间的数字。").arg(kReadingMin).arg(kReadingMax));
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
    return false;
}

} // namespace

RoomsPage::RoomsPage(Connection &connection, QWidget *parent) : Page(connection, parent)
{
    setObjectName(QStringLiteral("RoomsPage"));
    setMinimumSize(dialogUnits(0, 0, 486, 273).size());

    addGroup(this, QStringLiteral("房间设置"), dialogUnits(7, 15, 131, 235));
    // Created top to bottom, so that Tab walks the form in the order it is shown.
    auto field = [this](const QString &label, const QString &name, int y) {
        QLineEdit *edit = addEdit(this, name, dialogUnits(64, y, 59, 14));
        addFieldLabel(edit, label, {64, y}, 46, kLabelLine);
        return edit;
    };
    m_editRoomNo = field(QStringLiteral("房间号码："), QStringLiteral("roomNoEdit"), 28);
    m_editSex = field(QStringLiteral("入住性别："), QStringLiteral("sexEdit"), 52);
    m_editPhone = field(QStringLiteral("电话号码："), QStringLiteral("phoneEdit"), 76);
    m_editPhonePort = field(QStringLiteral("电话端口："), QStringLiteral("phonePortEdit"), 100);
    m_editNetPort = field(QStringLiteral("网线端口："), QStringLiteral("netPortEdit"), 124);
    m_editCapacity = field(QStringLiteral("可住人数："), QStringLiteral("capacityEdit"), 148);
    m_editWaterBase = field(QStringLiteral("水表底数："), QStringLiteral("waterBaseEdit"), 172);
    m_editPowerBase = field(QStringLiteral("电表底数："), QStringLiteral("powerBaseEdit"), 196);
    m_editRoomNo->setValidator(new Cp936LimitValidator(kRoomNoBytes, false, m_editRoomNo));
    m_editPhone->setValidator(new Cp936LimitValidator(kPhoneBytes, false, m_editPhone));
    m_editWaterBase->setValidator(new Cp936LimitValidator(-1, true, m_editWaterBase));
    m_editPowerBase->setValidator(new Cp936LimitValidator(-1, true, m_editPowerBase));

    m_form.roomNo = QStringLiteral("6-8-518");
    m_form.phone = QStringLiteral("88886666");
    m_form.phonePort = QStringLiteral("206");
    m_form.netPort = QStringLiteral("618");
    m_form.sex = QStringLiteral("男");
    writeForm();

    m_listRooms = addList(this, QStringLiteral("roomList"), QStringLiteral("房间列表"), dialogUnits(151, 15, 329, 194),
                          {
                              {QStringLiteral("房间号码"), 70, Qt::AlignRight},
                              {QStringLiteral("入住性别"), 70},
                              {QStringLiteral("电话号码"), 70},
                              {QStringLiteral("电话端口"), 70},
                              {QStringLiteral("网线端口"), 70},
                              {QStringLiteral("可住人数"), 70},
                              {QStringLiteral("水表底数"), 70},
                              {QStringLiteral("电表底数"), 70},
                          },
                          20);
    installListActions(m_listRooms, QStringLiteral("房间列表"), QStringLiteral("房间设置"));
    m_listRooms->viewport()->installEventFilter(this);

    QPushButton *addButtonWidget =
        addButton(this, QStringLiteral("添加房间"), QStringLiteral("addRoomButton"), dialogUnits(61, 223, 65, 14));
    // Closer together than the template has them, to leave room for the list's own button.
    QPushButton *listButton = addButton(this, QStringLiteral("房间信息列表"), QStringLiteral("listRoomsButton"),
                                        dialogUnits(151, 224, 72, 14));
    m_btnModify = addButton(this, QStringLiteral("房间信息修改"), QStringLiteral("modifyRoomButton"),
                            dialogUnits(237, 224, 72, 14));
    m_btnDelete = addButton(this, QStringLiteral("房间信息删除"), QStringLiteral("deleteRoomButton"),
                            dialogUnits(323, 224, 72, 14));
    auto *listMenuButton =
        addListMenuButton(m_listRooms, QStringLiteral("roomListMenuButton"), dialogUnits(408, 224, 72, 14));
    onClick(addButtonWidget, [this] { OnAddRoom(); });
    onClick(listButton, [this] { OnListRooms(); });
    onClick(m_btnModify, [this] { OnModifyRoom(); });
    onClick(m_btnDelete, [this] { OnDeleteRoom(); });
    m_btnModify->setEnabled(false);
    m_btnDelete->setEnabled(false);

    // The form ends at its button, before the list.
    setTabChain({m_editRoomNo, m_editSex, m_editPhone, m_editPhonePort, m_editNetPort, m_editCapacity, m_editWaterBase,
                 m_editPowerBase, addButtonWidget, m_listRooms, listMenuButton, listButton, m_btnModify, m_btnDelete});
    setFirstField(m_editRoomNo);
    setEnterButton({m_editRoomNo, m_editSex, m_editPhone, m_editPhonePort, m_editNetPort, m_editCapacity,
                    m_editWaterBase, m_editPowerBase},
                   addButtonWidget);
    setButtonShortcut(addButtonWidget, QKeySequence(Qt::ALT | Qt::Key_N));
    setButtonShortcut(listButton, QKeySequence(Qt::ALT | Qt::Key_L));
    setButtonShortcut(m_btnModify, QKeySequence(Qt::ALT | Qt::Key_M));
    setButtonShortcut(m_btnDelete, QKeySequence(Qt::ALT | Qt::Key_R));
    setButtonShortcut(listMenuButton, QKeySequence(Qt::ALT | Qt::Key_1));

    // The list takes the room the page gains; its buttons follow its bottom, the form stays.
    setGrowth(m_listRooms, {0, 0, 1, 1});
    setGrowth(listMenuButton, {1, 1, 0, 0});
    for (QWidget *button :
         {static_cast<QWidget *>(listButton), static_cast<QWidget *>(m_btnModify), static_cast<QWidget *>(m_btnDelete)})
        setGrowth(button, {0, 1, 0, 0});
}

RoomsPage::~RoomsPage() = default;

bool RoomsPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_listRooms->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton)
            OnClickRoomList(m_listRooms->rowAt(mouse->position().toPoint().y()));
    }
    return Page::eventFilter(watched, event);
}

bool RoomsPage::readForm()
{
    return exchange::readText(m_editRoomNo, m_form.roomNo, kRoomNoBytes) &&
           exchange::readText(m_editPhone, m_form.phone, kPhoneBytes) &&
           exchange::readText(m_editPhonePort, m_form.phonePort) && exchange::readText(m_editNetPort, m_form.netPort) &&
           exchange::readIntInRange(m_editCapacity, m_form.capacity, 1, 8) &&
           readReading(m_editWaterBase, m_form.waterBase) && readReading(m_editPowerBase, m_form.powerBase) &&
           exchange::readText(m_editSex, m_form.sex);
}

void RoomsPage::writeForm()
{
    m_editRoomNo->setText(m_form.roomNo);
    m_editPhone->setText(m_form.phone);
    m_editPhonePort->setText(m_form.phonePort);
    m_editNetPort->setText(m_form.netPort);
    exchange::writeInt(m_editCapacity, m_form.capacity);
    exchange::writeDouble(m_editWaterBase, m_form.waterBase);
    exchange::writeDouble(m_editPowerBase, m_form.powerBase);
    m_editSex->setText(m_form.sex);
}

ops::Outcome RoomsPage::fillList()
{
    m_listRooms->clearRows();
    return ops::listRooms(m_connection, [this](Recordset &room) {
        using namespace db::floorinfo;
        m_listRooms->appendRecord(room, {roomNo, sex, phone, phonePort, netPort, capacity, waterBase, powerBase},
                                  room.Bookmark());
    });
}

ops::RoomRow RoomsPage::selectedRow() const
{
    // Each row keeps the bookmark of the room it shows, and the operation checks it still does.
    return {m_listRooms->rowKey(m_nItem), m_listRooms->cellText(m_nItem, 0), m_nItem == m_listRooms->rowCount() - 1};
}

void RoomsPage::refuseRow(const ops::Outcome &refusal)
{
    if (ops::rowOutOfDate(refusal))
        fillList();
    showMessage(this, refusal.message);
}

void RoomsPage::endOperation()
{
    m_btnModify->setEnabled(false);
    m_btnDelete->setEnabled(false);
}

void RoomsPage::OnListRooms()
{
    const ops::Outcome listed = fillList();
    if (!listed.done)
        showMessage(this, listed.message);
    endOperation();
}

void RoomsPage::OnClickRoomList(int row)
{
    m_nItem = row;
    m_btnModify->setEnabled(true);
    m_btnDelete->setEnabled(true);
}

void RoomsPage::OnAddRoom()
{
    if (!readForm()) {
        endOperation();
        return;
    }
    ops::AddedRoom added;
    const ops::Outcome outcome = ops::addRoom(m_connection, m_form, added);
    if (!outcome.done) {
        showMessage(this, outcome.message);
        if (ops::endsAdd(outcome))
            endOperation();
        return;
    }
    record(outcome.log);
    // Modify and delete find a room by its list row's bookmark and number, so a list that was
    // never filled (or is out of step) is refilled rather than given a row out of the table's order.
    if (m_listRooms->rowCount() == added.roomsBefore)
        m_listRooms->appendRow(added.cells, added.bookmark);
    else
        fillList();
    announce(QStringLiteral("已添加房间 %1").arg(m_form.roomNo));
    endOperation();
}

void RoomsPage::OnModifyRoom()
{
    if (m_nItem >= 0) {
        ops::RoomForm shown = m_form;
        // The sex is not taken from the room: the field keeps what it shows.
        shown.sex = m_editSex->text();
        const ops::Outcome outcome =
            ops::modifyRoom(m_connection, selectedRow(), shown, [this](const ops::RoomForm &room) {
                m_form = room;
                writeForm();
            });
        if (!outcome.done) {
            refuseRow(outcome);
        } else {
            record(outcome.log);
            m_listRooms->removeRow(m_nItem);
            announce(QStringLiteral("已将房间 %1 取到左边修改，改好后按“添加房间”存回").arg(m_form.roomNo));
        }
    }
    endOperation();
}

void RoomsPage::OnDeleteRoom()
{
    if (m_nItem >= 0) {
        const ops::Outcome outcome = ops::deleteRoom(m_connection, selectedRow());
        if (!outcome.done) {
            refuseRow(outcome);
            // An occupied room keeps the row chosen for another try.
            if (!ops::rowOutOfDate(outcome))
                return;
        } else {
            record(outcome.log);
            announce(QStringLiteral("已删除房间 %1").arg(m_listRooms->cellText(m_nItem, 0)));
            m_listRooms->removeRow(m_nItem);
        }
    }
    endOperation();
}

} // namespace orv
