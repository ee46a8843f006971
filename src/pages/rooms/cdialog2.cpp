#include "cdialog2.h"

#include "data/columns.h"
#include "data/recordset.h"
#include "data/statements.h"
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

// floorinfo's columns, indexed by CDialog2::RoomField.
const std::array<QString, 10> kColumn = {
    db::floorinfo::roomNo,    db::floorinfo::phone,    db::floorinfo::sex,       db::floorinfo::phonePort,
    db::floorinfo::netPort,   db::floorinfo::capacity, db::floorinfo::waterBase, db::floorinfo::powerBase,
    db::floorinfo::occupants, db::floorinfo::vacant,
};

// The order of the list's columns, which is also the order a new row's values are put in.
constexpr std::array<CDialog2::RoomField, 10> kRowOrder = {
    CDialog2::RoomNo,   CDialog2::Sex,       CDialog2::Phone,     CDialog2::PhonePort, CDialog2::NetPort,
    CDialog2::Capacity, CDialog2::WaterBase, CDialog2::PowerBase, CDialog2::Residents, CDialog2::Vacancies,
};
constexpr int kListedColumns = 8;

const QString kNoRooms = QStringLiteral("数据库中没有记录,请您添加了记录之后在操作");
const QString kListOutOfDate =
    QStringLiteral("房间列表已经过时（房间已在别处被修改或删除），列表已重新显示，请重新选择房间！");
const QString kOccupied = QStringLiteral("此房间里有人入住，请不要删除，如果你要删除请先把入住的人迁出再删除！");

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

CDialog2::CDialog2(Connection &connection, QWidget *parent) : Page(connection, parent)
{
    setObjectName(QStringLiteral("CDialog2"));
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

    m_strRoomNo = QStringLiteral("6-8-518");
    m_strPhone = QStringLiteral("88886666");
    m_strPhonePort = QStringLiteral("206");
    m_strNetPort = QStringLiteral("618");
    m_strSex = QStringLiteral("男");
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
    QPushButton *listButton = addButton(this, QStringLiteral("房间信息列表"), QStringLiteral("listRoomsButton"),
                                        dialogUnits(166, 224, 72, 14));
    m_btnModify = addButton(this, QStringLiteral("房间信息修改"), QStringLiteral("modifyRoomButton"),
                            dialogUnits(270, 224, 72, 14));
    m_btnDelete = addButton(this, QStringLiteral("房间信息删除"), QStringLiteral("deleteRoomButton"),
                            dialogUnits(374, 224, 72, 14));
    onClick(addButtonWidget, [this] { OnAddRoom(); });
    onClick(listButton, [this] { OnListRooms(); });
    onClick(m_btnModify, [this] { OnModifyRoom(); });
    onClick(m_btnDelete, [this] { OnDeleteRoom(); });

    m_pRoomSet = std::make_unique<Recordset>(&m_connection);
    m_pNumSet = std::make_unique<Recordset>(&m_connection);
    // A failure here is reported like any other; each operation opens the room set again if needed.
    runHandler([this] {
        m_pRoomSet->Open(sql::floorAll, &m_connection, adOpenDynamic, adLockOptimistic, adCmdText);
        m_pNumSet->Open(sql::numAll, &m_connection, adOpenDynamic, adLockOptimistic, adCmdText);
    });
    m_btnModify->setEnabled(false);
    m_btnDelete->setEnabled(false);
}

CDialog2::~CDialog2() = default;

bool CDialog2::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_listRooms->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton)
            OnClickRoomList(m_listRooms->rowAt(mouse->position().toPoint().y()));
    }
    return Page::eventFilter(watched, event);
}

bool CDialog2::readForm()
{
    return exchange::readText(m_editRoomNo, m_strRoomNo, kRoomNoBytes) &&
           exchange::readText(m_editPhone, m_strPhone, kPhoneBytes) &&
           exchange::readText(m_editPhonePort, m_strPhonePort) && exchange::readText(m_editNetPort, m_strNetPort) &&
           exchange::readIntInRange(m_editCapacity, m_nCapacity, 1, 8) && readReading(m_editWaterBase, m_dWaterBase) &&
           readReading(m_editPowerBase, m_dPowerBase) && exchange::readText(m_editSex, m_strSex);
}

void CDialog2::writeForm()
{
    m_editRoomNo->setText(m_strRoomNo);
    m_editPhone->setText(m_strPhone);
    m_editPhonePort->setText(m_strPhonePort);
    m_editNetPort->setText(m_strNetPort);
    exchange::writeInt(m_editCapacity, m_nCapacity);
    exchange::writeDouble(m_editWaterBase, m_dWaterBase);
    exchange::writeDouble(m_editPowerBase, m_dPowerBase);
    m_editSex->setText(m_strSex);
}

void CDialog2::appendBufferRow(std::int64_t bookmark)
{
    QStringList cells;
    for (int i = 0; i < kListedColumns; ++i)
        cells.append(m_rowRoom[kRowOrder[i]].toDisplayText());
    m_listRooms->appendRow(cells, bookmark);
}

int CDialog2::fillList()
{
    m_listRooms->clearRows();
    int found = 0;
    m_pRoomSet->rewind();
    while (!m_pRoomSet->adoEOF()) {
        ++found;
        m_listRooms->appendRecord(*m_pRoomSet,
                                  {kColumn[RoomNo], kColumn[Sex], kColumn[Phone], kColumn[PhonePort], kColumn[NetPort],
                                   kColumn[Capacity], kColumn[WaterBase], kColumn[PowerBase]},
                                  m_pRoomSet->Bookmark());
        m_pRoomSet->MoveNext();
    }
    return found;
}

void CDialog2::endOperation()
{
    m_btnModify->setEnabled(false);
    m_btnDelete->setEnabled(false);
    m_pRoomSet->closeIfOpen();
}

bool CDialog2::moveToItem()
{
    // Each row keeps the bookmark of the room it shows, so finding it costs the same for every
    // row. A room gone or renumbered since the list was filled (another window changed the
    // table) is not acted on.
    if (m_pRoomSet->MoveToBookmark(m_listRooms->rowKey(m_nItem)) &&
        m_pRoomSet->GetCollect(kColumn[RoomNo]).toDisplayText() == m_listRooms->cellText(m_nItem, 0))
        return true;
    fillList();
    showMessage(this, kListOutOfDate);
    return false;
}

void CDialog2::removeItem()
{
    const bool lastRow = m_nItem == m_listRooms->rowCount() - 1;
    // The record goes first, so a failing delete leaves the list matching the table.
    m_pRoomSet->Delete(adAffectCurrent);
    m_listRooms->removeRow(m_nItem);
    if (lastRow)
        m_pRoomSet->MovePrevious();
    else
        m_pRoomSet->MoveNext();
}

void CDialog2::OnListRooms()
{
    m_pRoomSet->openIfClosed(sql::floorAll);
    if (fillList() == 0)
        showMessage(this, kNoRooms);
    else
        m_pRoomSet->MoveFirst();
    endOperation();
}

void CDialog2::OnClickRoomList(int row)
{
    m_nItem = row;
    m_btnModify->setEnabled(true);
    m_btnDelete->setEnabled(true);
}

void CDialog2::OnAddRoom()
{
    m_pRoomSet->openIfClosed(sql::floorAll);
    if (!addFormComplete())
        return;
    bufferFormRow();
    if (m_pRoomSet->Find(kColumn[RoomNo], m_rowRoom[RoomNo])) {
        showMessage(this, QStringLiteral("您输入的房间号码已经存在，请不要重复输入"));
        return;
    }
    const long stored = m_pRoomSet->RecordCount();
    addBufferedRoom();
    showAddedRoom(stored);
    endOperation();
}

bool CDialog2::addFormComplete()
{
    if (!readForm()) {
        endOperation();
        return false;
    }
    if (m_strRoomNo.isEmpty()) {
        showMessage(this, QStringLiteral("请输入用户名"));
        endOperation();
        return false;
    }
    const std::array<std::pair<const QString *, QString>, 4> required = {{
        {&m_strPhone, QStringLiteral("请输入电话号码")},
        {&m_strPhonePort, QStringLiteral("请输入电话端口号")},
        {&m_strNetPort, QStringLiteral("请输入网线端口号")},
        {&m_strSex, QStringLiteral("请输入性别")},
    }};
    for (const auto &[value, message] : required) {
        if (value->isEmpty()) {
            showMessage(this, message);
            return false;
        }
    }
    return true;
}

void CDialog2::bufferFormRow()
{
    m_rowRoom[RoomNo] = m_strRoomNo;
    m_rowRoom[Sex] = m_strSex;
    m_rowRoom[Phone] = m_strPhone;
    m_rowRoom[PhonePort] = m_strPhonePort;
    m_rowRoom[NetPort] = m_strNetPort;
    m_rowRoom[Capacity] = FieldValue::int32(m_nCapacity);
    m_rowRoom[WaterBase] = m_dWaterBase;
    m_rowRoom[PowerBase] = m_dPowerBase;
}

void CDialog2::addBufferedRoom()
{
    m_rowRoom[Residents] = FieldValue::int32(0);
    m_rowRoom[Vacancies] = FieldValue::int32(m_nCapacity);
    m_pRoomSet->AddNew();
    for (RoomField slot : kRowOrder)
        m_pRoomSet->PutCollect(kColumn[slot], m_rowRoom[slot]);

    // A room taken out by modify keeps its residents in numinfo; the last matching row counts.
    m_pNumSet->openIfClosed(sql::numAll);
    const FieldValue &roomNo = m_rowRoom[RoomNo];
    for (bool found = m_pNumSet->Find(db::numinfo::roomNo, roomNo); found;
         found = m_pNumSet->FindNext(db::numinfo::roomNo, roomNo)) {
        const FieldValue residents = m_pNumSet->GetCollect(db::numinfo::occupants);
        const auto capacity = static_cast<std::int16_t>(m_rowRoom[Capacity].asInt32());
        m_rowRoom[Vacancies] = FieldValue::int32(capacity - residents.asInt16());
        m_rowRoom[Residents] = residents;
        m_pRoomSet->PutCollect(kColumn[Vacancies], m_rowRoom[Vacancies]);
        m_pRoomSet->PutCollect(kColumn[Residents], m_rowRoom[Residents]);
    }
    m_pRoomSet->Update();
}

void CDialog2::showAddedRoom(long stored)
{
    // Modify and delete find a room by its list row's position in the table, so a list that was
    // never filled (or is out of step) is refilled rather than given a row at the wrong place.
    if (m_listRooms->rowCount() == stored)
        appendBufferRow(m_pRoomSet->Bookmark());
    else
        fillList();
}

void CDialog2::OnModifyRoom()
{
    m_pRoomSet->openIfClosed(sql::floorAll);
    if (m_nItem >= 0) {
        if (!moveToItem()) {
            endOperation();
            return;
        }
        for (RoomField slot : {RoomNo, Phone, PhonePort, NetPort, Capacity, WaterBase, PowerBase})
            m_rowRoom[slot] = m_pRoomSet->GetCollect(kColumn[slot]);
        m_strRoomNo = m_rowRoom[RoomNo].toText();
        m_strPhone = m_rowRoom[Phone].toText();
        m_strPhonePort = m_rowRoom[PhonePort].toText();
        m_strNetPort = m_rowRoom[NetPort].toText();
        m_nCapacity = m_rowRoom[Capacity].asInt16();
        m_dWaterBase = m_rowRoom[WaterBase].asInt32();
        m_dPowerBase = m_rowRoom[PowerBase].asInt32();
        // The sex is not taken from the room: the field keeps what it shows.
        m_strSex = m_editSex->text();
        writeForm();
        removeItem();
    }
    endOperation();
}

void CDialog2::OnDeleteRoom()
{
    m_pRoomSet->openIfClosed(sql::floorAll);
    if (m_nItem >= 0) {
        if (!moveToItem()) {
            endOperation();
            return;
        }
        const bool lastRow = m_nItem == m_listRooms->rowCount() - 1;
        if (m_pRoomSet->GetCollect(kColumn[Residents]).asInt16() != 0) {
            showMessage(this, lastRow ? kOccupied + QStringLiteral("!!") : kOccupied);
            return;
        }
        removeItem();
    }
    endOperation();
}

} // namespace orv
