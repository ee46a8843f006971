#include "cdialog1.h"

#include "data/columns.h"
#include "data/statements.h"
#include "data/texts.h"
#include "kit/form.h"
#include "kit/listactions.h"
#include "kit/messagebox.h"
#include "kit/reportlist.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>

#include <utility>

namespace orv {
namespace {

namespace rooms = db::floorinfo;
namespace people = db::personinfo;
namespace counts = db::numinfo;

const QString kDuplicateStaffNo = QStringLiteral("你输入的工号已经存在，请不要重复输入！");
const QString kRoomFull = QStringLiteral("你选择的房间已经住满，请选择其他房间入住！");
const QString kNoSuchRoom = QStringLiteral("你输入的房间号码在数据库中不存在，请重新输入！");
const QString kNoOutStaffNo = QStringLiteral("请输入员工的工号！");
const QString kNoOutRoom = QStringLiteral("请输入员工的房间号码！");
const QString kMismatch = QStringLiteral("您输入的工号和房间号码不匹配，请重新输入！");
const QString kNotResident = QStringLiteral("您输入的工号还没有入住，请不要对此工号操作！");
const QString kCheckedOut = QStringLiteral("成功迁出！");

// The fee page takes staff numbers of up to this many bytes; a longer one could never be charged.
constexpr int kStaffNoBytes = 16;

// The counters are Integer columns; they are written back as 32-bit values.
FieldValue counter(int value)
{
    return FieldValue::int32(value);
}

// Labels sit left of their field, on the field's text line.
constexpr LabelLine kLabelLine{3, 3, 10};

} // namespace

CDialog1::CDialog1(Connection &connection, QWidget *parent)
    : Page(connection, parent), m_strName(QStringLiteral("李明")), m_strDept(QStringLiteral("计算机系")),
      m_strStaffNo(QStringLiteral("2004101")), m_strMobile(QStringLiteral("13912345678")),
      m_strRoom(QStringLiteral("6-8-518"))
{
    setObjectName(QStringLiteral("CDialog1"));
    setMinimumSize(dialogUnits(0, 0, 491, 292).size());

    m_listRooms = addList(this, QStringLiteral("roomList"), QStringLiteral("房间列表"), dialogUnits(6, 10, 286, 146),
                          {{QStringLiteral("房间号码"), 68, Qt::AlignRight},
                           {QStringLiteral("入住性别"), 68, Qt::AlignLeft},
                           {QStringLiteral("电话号码"), 68, Qt::AlignLeft},
                           {QStringLiteral("可住人数"), 68, Qt::AlignLeft},
                           {QStringLiteral("入住人数"), 68, Qt::AlignLeft},
                           {QStringLiteral("空缺人数"), 68, Qt::AlignLeft}},
                          19);
    installListActions(m_listRooms, QStringLiteral("住宿房间列表"), QStringLiteral("住宿管理"));

    auto *freeButton =
        addButton(this, QStringLiteral("查询空房间"), QStringLiteral("freeRoomsButton"), dialogUnits(21, 163, 58, 16));
    auto *fullButton =
        addButton(this, QStringLiteral("查询满房间"), QStringLiteral("fullRoomsButton"), dialogUnits(116, 163, 58, 16));
    auto *clearButton =
        addButton(this, QStringLiteral("清除信息"), QStringLiteral("clearListButton"), dialogUnits(211, 163, 58, 16));

    addGroup(this, QStringLiteral("办理入住"), dialogUnits(312, 7, 150, 241));
    m_editName = addEdit(this, QStringLiteral("nameEdit"), dialogUnits(370, 31, 60, 14));
    addFieldLabel(m_editName, QStringLiteral("姓名："), {370, 31}, 30, kLabelLine);

    m_cbSex = new QComboBox(this);
    m_cbSex->setObjectName(QStringLiteral("sexCombo"));
    m_cbSex->setGeometry(dialogUnits(370, 58, 62, 14));
    m_cbSex->setEditable(true);
    // Typed text is taken as it stands; it never joins the list.
    m_cbSex->setInsertPolicy(QComboBox::NoInsert);
    m_cbSex->setValidator(new Cp936LimitValidator(-1, false, m_cbSex));
    // Already in code-page-936 order, which is how the list is sorted.
    m_cbSex->addItems({QStringLiteral("男"), QStringLiteral("女")});
    m_cbSex->setCurrentIndex(-1);
    m_cbSex->setEditText(QString());
    addFieldLabel(m_cbSex, QStringLiteral("性别："), {370, 58}, 30, kLabelLine);

    m_editDept = addEdit(this, QStringLiteral("deptEdit"), dialogUnits(370, 83, 60, 14));
    addFieldLabel(m_editDept, QStringLiteral("班级："), {370, 83}, 30, kLabelLine);
    m_editStaffNo = addEdit(this, QStringLiteral("staffNoEdit"), dialogUnits(370, 110, 60, 14));
    m_editStaffNo->setValidator(new Cp936LimitValidator(kStaffNoBytes, false, m_editStaffNo));
    addFieldLabel(m_editStaffNo, QStringLiteral("学号："), {370, 110}, 30, kLabelLine);
    m_editMobile = addEdit(this, QStringLiteral("mobileEdit"), dialogUnits(370, 137, 60, 14));
    addFieldLabel(m_editMobile, QStringLiteral("手机："), {370, 137}, 30, kLabelLine);

    m_dtCheckIn = addDatePicker(this, QStringLiteral("checkInDate"), dialogUnits(370, 164, 63, 15));
    addFieldLabel(m_dtCheckIn, QStringLiteral("日期："), {370, 164}, 30, kLabelLine);

    m_editRoom = addEdit(this, QStringLiteral("roomEdit"), dialogUnits(370, 191, 60, 14));
    addFieldLabel(m_editRoom, QStringLiteral("房间："), {370, 191}, 30, kLabelLine);
    auto *checkInButton =
        addButton(this, QStringLiteral("入     住"), QStringLiteral("checkInButton"), dialogUnits(369, 221, 60, 14));

    addGroup(this, QStringLiteral("办理迁出"), dialogUnits(13, 183, 267, 65));
    m_editOutStaffNo = addEdit(this, QStringLiteral("outStaffNoEdit"), dialogUnits(75, 199, 59, 14));
    addFieldLabel(m_editOutStaffNo, QStringLiteral("学  号："), {75, 199}, 36, kLabelLine);
    m_editOutRoom = addEdit(this, QStringLiteral("outRoomEdit"), dialogUnits(199, 199, 58, 14));
    addFieldLabel(m_editOutRoom, QStringLiteral("房   间："), {199, 199}, 40, kLabelLine);
    auto *checkOutButton =
        addButton(this, QStringLiteral("迁     出"), QStringLiteral("checkOutButton"), dialogUnits(75, 226, 59, 14));

    // Tab order follows the forms top to bottom, check-in first.
    setTabOrder(m_editName, m_cbSex);
    setTabOrder(m_cbSex, m_editDept);
    setTabOrder(m_editDept, m_editStaffNo);
    setTabOrder(m_editStaffNo, m_editMobile);
    setTabOrder(m_editMobile, m_dtCheckIn);
    setTabOrder(m_dtCheckIn, m_editRoom);
    setTabOrder(m_editRoom, checkInButton);
    setTabOrder(checkInButton, m_editOutStaffNo);
    setTabOrder(m_editOutStaffNo, m_editOutRoom);
    setTabOrder(m_editOutRoom, checkOutButton);

    DoDataExchange(false);

    m_pRoomSet = std::make_unique<Recordset>(&m_connection);
    m_pPersonSet = std::make_unique<Recordset>(&m_connection);
    m_pNumSet = std::make_unique<Recordset>(&m_connection);

    onClick(freeButton, [this] { OnFreeRooms(); });
    onClick(fullButton, [this] { OnFullRooms(); });
    onClick(clearButton, [this] { OnClearList(); });
    onClick(checkInButton, [this] { OnCheckIn(); });
    onClick(checkOutButton, [this] { OnCheckOut(); });
}

CDialog1::~CDialog1() = default;

void CDialog1::DoDataExchange(bool bSaveAndValidate)
{
    const std::pair<QLineEdit *, QString *> fields[] = {
        {m_editOutStaffNo, &m_strOutStaffNo},
        {m_editOutRoom, &m_strOutRoom},
        {m_editName, &m_strName},
        {m_editDept, &m_strDept},
        {m_editStaffNo, &m_strStaffNo},
        {m_editMobile, &m_strMobile},
        {m_editRoom, &m_strRoom},
    };
    for (const auto &[edit, member] : fields) {
        if (bSaveAndValidate)
            *member = edit->text();
        else
            edit->setText(*member);
    }
}

void CDialog1::OnFreeRooms()
{
    listRooms(true);
}

void CDialog1::OnFullRooms()
{
    listRooms(false);
}

void CDialog1::listRooms(bool freeRooms)
{
    m_listRooms->clearRows();
    m_pRoomSet->openIfClosed(sql::floorAll);
    m_pRoomSet->rewind();
    while (!m_pRoomSet->adoEOF()) {
        m_varVacant = m_pRoomSet->GetCollect(rooms::vacant);
        m_varCapacity = m_pRoomSet->GetCollect(rooms::capacity);
        m_varOccupants = m_pRoomSet->GetCollect(rooms::occupants);
        m_nVacant = m_varVacant.asInt16();
        m_nCapacity = m_varCapacity.asInt16();
        // Only the free-bed counter decides; a negative one still counts as free.
        if ((m_nVacant != 0) == freeRooms) {
            m_nItem = m_listRooms->appendRecord(*m_pRoomSet, {rooms::roomNo, rooms::sex, rooms::phone, rooms::capacity,
                                                              rooms::occupants, rooms::vacant});
        }
        m_pRoomSet->MoveNext();
    }
    m_pRoomSet->closeIfOpen();
}

void CDialog1::OnClearList()
{
    m_listRooms->clearRows();
}

void CDialog1::OnCheckIn()
{
    m_pRoomSet->openIfClosed(sql::floorAll);
    m_pPersonSet->openIfClosed(sql::personAll);
    m_pNumSet->openIfClosed(sql::numAll);

    const QString strDate = dateText(m_dtCheckIn->date());
    const QString strSex = m_cbSex->currentText();
    DoDataExchange(true);
    if (!checkInFormComplete(strDate, strSex))
        return;

    const FieldValue staffNo(m_strStaffNo);
    if (m_pPersonSet->Find(people::staffNo, staffNo)) {
        showMessage(this, kDuplicateStaffNo);
        return;
    }
    const FieldValue room(m_strRoom);
    if (!findRoomWithFreeBed(room))
        return;

    takeBed(room);
    countInto(room);
    addResident(staffNo, strSex, strDate, room);
    m_pPersonSet->closeIfOpen();
    m_pNumSet->closeIfOpen();

    OnFreeRooms();
}

bool CDialog1::checkInFormComplete(const QString &date, const QString &sex)
{
    // A date picker always holds a date, so the date check only guards against a blank entry.
    const std::pair<const QString &, QString> required[] = {
        {m_strName, QStringLiteral("请输入入住人的姓名！")}, {sex, QStringLiteral("请输入性别！")},
        {m_strDept, QStringLiteral("请输入部门！")},         {m_strStaffNo, QStringLiteral("请输入工号！")},
        {m_strMobile, QStringLiteral("请输入手机号码！")},   {date, QStringLiteral("请输入入住日期！")},
        {m_strRoom, QStringLiteral("请输入房间号码！")},
    };
    for (const auto &[value, message] : required) {
        if (value.isEmpty()) {
            showMessage(this, message);
            return false;
        }
    }
    return exchange::readText(m_editStaffNo, m_strStaffNo, kStaffNoBytes);
}

bool CDialog1::findRoomWithFreeBed(const FieldValue &room)
{
    if (!m_pRoomSet->Find(rooms::roomNo, room)) {
        showMessage(this, kNoSuchRoom);
        return false;
    }
    m_varVacant = m_pRoomSet->GetCollect(rooms::vacant);
    m_varCapacity = m_pRoomSet->GetCollect(rooms::capacity);
    m_varOccupants = m_pRoomSet->GetCollect(rooms::occupants);
    m_nVacant = m_varVacant.asInt16();
    m_nCapacity = m_varCapacity.asInt16();
    m_nOccupants = m_varOccupants.asInt16();
    // Fullness is judged by residents against beds; the free-bed counter follows along.
    if (m_nOccupants >= m_nCapacity) {
        showMessage(this, kRoomFull);
        return false;
    }
    return true;
}

void CDialog1::takeBed(const FieldValue &room)
{
    m_nVacant -= 1;
    m_nOccupants += 1;
    m_varOccupants = counter(m_nOccupants);
    m_varVacant = counter(m_nVacant);

    m_pRoomSet->PutCollect(rooms::roomNo, room);
    m_pRoomSet->PutCollect(rooms::occupants, m_varOccupants);
    m_pRoomSet->PutCollect(rooms::vacant, m_varVacant);
    m_pRoomSet->Update();
    m_pRoomSet->closeIfOpen();
}

void CDialog1::countInto(const FieldValue &room)
{
    // Every counter row of the room is raised.
    bool counted = false;
    for (bool found = m_pNumSet->Find(counts::roomNo, room); found; found = m_pNumSet->FindNext(counts::roomNo, room)) {
        const FieldValue count = m_pNumSet->GetCollect(counts::occupants);
        m_pNumSet->PutCollect(counts::occupants, counter(count.asInt16() + 1));
        m_pNumSet->Update();
        counted = true;
    }
    if (!counted) {
        m_pNumSet->AddNew();
        m_pNumSet->PutCollect(counts::roomNo, room);
        m_pNumSet->PutCollect(counts::occupants, counter(1));
        m_pNumSet->Update();
    }
}

void CDialog1::addResident(const FieldValue &staffNo, const QString &sex, const QString &date, const FieldValue &room)
{
    m_pPersonSet->AddNew();
    m_pPersonSet->PutCollect(people::name, FieldValue(m_strName));
    m_pPersonSet->PutCollect(people::sex, FieldValue(sex));
    m_pPersonSet->PutCollect(people::dept, FieldValue(m_strDept));
    m_pPersonSet->PutCollect(people::staffNo, staffNo);
    m_pPersonSet->PutCollect(people::mobile, FieldValue(m_strMobile));
    m_pPersonSet->PutCollect(people::date, FieldValue(date));
    m_pPersonSet->PutCollect(people::room, room);
    m_pPersonSet->Update();
}

void CDialog1::OnCheckOut()
{
    m_pRoomSet->openIfClosed(sql::floorAll);
    m_pPersonSet->openIfClosed(sql::personAll);
    m_pNumSet->openIfClosed(sql::numAll);

    DoDataExchange(true);
    if (m_strOutStaffNo.isEmpty()) {
        showMessage(this, kNoOutStaffNo);
        return;
    }
    if (m_strOutRoom.isEmpty()) {
        showMessage(this, kNoOutRoom);
        return;
    }
    const FieldValue staffNo(m_strOutStaffNo);
    const FieldValue room(m_strOutRoom);
    if (!findResidentOf(staffNo, room))
        return;

    m_pPersonSet->Delete(adAffectCurrent);
    countOutOf(room);
    freeBed(room);

    OnFreeRooms();
    reportSuccess(kCheckedOut);
}

bool CDialog1::findResidentOf(const FieldValue &staffNo, const FieldValue &room)
{
    if (!m_pPersonSet->Find(people::staffNo, staffNo)) {
        showMessage(this, kNotResident);
        return false;
    }
    if (m_pPersonSet->GetCollect(people::room) != room) {
        showMessage(this, kMismatch);
        return false;
    }
    return true;
}

void CDialog1::countOutOf(const FieldValue &room)
{
    // Every counter row and every room row of that number follows the resident out.
    for (bool found = m_pNumSet->Find(counts::roomNo, room); found; found = m_pNumSet->FindNext(counts::roomNo, room)) {
        const FieldValue count = m_pNumSet->GetCollect(counts::occupants);
        // The row lives only while the room has residents; moving on stores the lowered count.
        if (count.asInt16() == 1)
            m_pNumSet->Delete(adAffectCurrent);
        else
            m_pNumSet->PutCollect(counts::occupants, counter(count.asInt16() - 1));
    }
}

void CDialog1::freeBed(const FieldValue &room)
{
    for (bool found = m_pRoomSet->Find(rooms::roomNo, room); found; found = m_pRoomSet->FindNext(rooms::roomNo, room)) {
        const int occupants = m_pRoomSet->GetCollect(rooms::occupants).asInt16();
        const int vacant = m_pRoomSet->GetCollect(rooms::vacant).asInt16();
        m_pRoomSet->PutCollect(rooms::occupants, counter(occupants - 1));
        m_pRoomSet->PutCollect(rooms::vacant, counter(vacant + 1));
        m_pRoomSet->Update();
    }
    m_pRoomSet->closeIfOpen();
}

} // namespace orv
