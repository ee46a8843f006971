#include "cdialog4.h"

#include "data/billdata.h"
#include "data/columns.h"
#include "data/rentperiod.h"
#include "data/statements.h"
#include "data/texts.h"
#include "kit/bills.h"
#include "kit/form.h"
#include "kit/messagebox.h"
#include "kit/reportlist.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>

#include <cstdint>
#include <limits>

namespace orv {
namespace {

namespace rooms = db::floorinfo;
namespace people = db::personinfo;
namespace standard = db::feiyong;
namespace meters = db::feiinfo;
namespace bills = db::listfei;
namespace rentDue = db::fangset;
namespace rentCharges = db::fanglist;

const QString kNoStandard = QStringLiteral("还没有设置费用标准，请先设置费用标准！");
const QString kNotYetDue =
    QStringLiteral("您输入的日期小于入住或上次结算时的日期或还没满一个月现在还不能够结算，请重新输入结算日期！");
const QString kBeforeStart = QStringLiteral("您输入的日期小于入住或上次结算时的日期，请重新输入结算日期！");
const QString kChargeTooLarge = QStringLiteral("本次应收的房租超出了能够记录的范围，无法结算！");
const QString kTotalTooLarge = QStringLiteral("房租合计超出了能够记录的范围，无法结算！");

constexpr int kReadingMax = 9999999;
constexpr int kStaffNoBytes = 16;

bool fitsInt32(std::int64_t value)
{
    return value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max();
}

// Labels sit left of their field, on the field's text line.
constexpr LabelLine kLabelLine{2, 2, 8};

} // namespace

CDialog4::CDialog4(Connection &connection, QWidget *parent) : Page(connection, parent)
{
    setObjectName(QStringLiteral("CDialog4"));
    setMinimumSize(dialogUnits(0, 0, 492, 257).size());

    addGroup(this, QStringLiteral("设置费用标准"), dialogUnits(7, 7, 459, 38));
    m_waterPriceEdit = addEdit(this, QStringLiteral("waterPriceEdit"), dialogUnits(56, 22, 50, 12));
    addFieldLabel(m_waterPriceEdit, QStringLiteral("水费："), {56, 22}, 30, kLabelLine);
    addLabel(this, QStringLiteral("元/吨"), dialogUnits(108, 24, 26, 8));
    m_powerPriceEdit = addEdit(this, QStringLiteral("powerPriceEdit"), dialogUnits(169, 22, 50, 12));
    addFieldLabel(m_powerPriceEdit, QStringLiteral("电费："), {169, 22}, 30, kLabelLine);
    addLabel(this, QStringLiteral("元/度"), dialogUnits(221, 24, 26, 8));
    m_rentPriceEdit = addEdit(this, QStringLiteral("rentPriceEdit"), dialogUnits(297, 22, 50, 12));
    addFieldLabel(m_rentPriceEdit, QStringLiteral("房租费："), {297, 22}, 38, kLabelLine);
    addLabel(this, QStringLiteral("元/人"), dialogUnits(349, 24, 26, 8));
    auto *setButton =
        addButton(this, QStringLiteral("设    置"), QStringLiteral("setStandardButton"), dialogUnits(391, 22, 56, 14));

    addLabel(this, QStringLiteral("水电费结算"), dialogUnits(21, 50, 60, 8));
    m_dtFeeDate = addDatePicker(this, QStringLiteral("feeDateEdit"), dialogUnits(58, 65, 52, 14));
    addFieldLabel(m_dtFeeDate, QStringLiteral("日  期："), {58, 65}, 35, kLabelLine);
    m_feeRoomEdit = addEdit(this, QStringLiteral("feeRoomEdit"), dialogUnits(161, 66, 46, 12));
    addFieldLabel(m_feeRoomEdit, QStringLiteral("房间号："), {161, 66}, 37, kLabelLine);
    m_waterReadingEdit = addEdit(this, QStringLiteral("waterReadingEdit"), dialogUnits(57, 90, 53, 12));
    addFieldLabel(m_waterReadingEdit, QStringLiteral("水表数："), {57, 90}, 37, kLabelLine);
    m_powerReadingEdit = addEdit(this, QStringLiteral("powerReadingEdit"), dialogUnits(160, 90, 47, 12));
    addFieldLabel(m_powerReadingEdit, QStringLiteral("电表数："), {160, 90}, 37, kLabelLine);
    auto *settleUtilityButton = addButton(this, QStringLiteral("提交结算"), QStringLiteral("settleUtilityButton"),
                                          dialogUnits(17, 114, 56, 14));
    auto *clearFeeButton =
        addButton(this, QStringLiteral("信息清除"), QStringLiteral("clearFeeListButton"), dialogUnits(83, 114, 57, 14));
    auto *listFeesButton =
        addButton(this, QStringLiteral("费用列表"), QStringLiteral("listFeesButton"), dialogUnits(149, 114, 57, 14));
    m_listFee =
        addList(this, QStringLiteral("feeList"), QStringLiteral("水电费结算列表"), dialogUnits(7, 135, 213, 115),
                {{QStringLiteral("房间号码"), 59},
                 {QStringLiteral("  日  期"), 75},
                 {QStringLiteral("  水  费"), 59},
                 {QStringLiteral("  电  费"), 59},
                 {QStringLiteral(" 总费用"), 59}},
                18);

    addLabel(this, QStringLiteral("房租费结算"), dialogUnits(256, 50, 60, 8));
    m_staffNoEdit = addEdit(this, QStringLiteral("staffNoEdit"), dialogUnits(292, 62, 52, 12));
    m_staffNoEdit->setValidator(new Cp936LimitValidator(kStaffNoBytes, false, m_staffNoEdit));
    addFieldLabel(m_staffNoEdit, QStringLiteral("工  号："), {292, 62}, 34, kLabelLine);
    m_staffNameEdit = addEdit(this, QStringLiteral("staffNameEdit"), dialogUnits(400, 62, 50, 12));
    m_staffNameEdit->setReadOnly(true);
    addFieldLabel(m_staffNameEdit, QStringLiteral("姓  名 ："), {400, 62}, 42, kLabelLine);
    m_dtRentDate = addDatePicker(this, QStringLiteral("rentDateEdit"), dialogUnits(292, 86, 55, 14));
    addFieldLabel(m_dtRentDate, QStringLiteral("日  期："), {292, 86}, 34, kLabelLine);
    auto *settleRentButton =
        addButton(this, QStringLiteral("房租结算"), QStringLiteral("settleRentButton"), dialogUnits(391, 86, 59, 14));
    auto *listRentButton =
        addButton(this, QStringLiteral("房租列表"), QStringLiteral("listRentButton"), dialogUnits(288, 114, 59, 14));
    auto *clearRentButton = addButton(this, QStringLiteral("信息清除"), QStringLiteral("clearRentListButton"),
                                      dialogUnits(390, 114, 58, 14));
    m_listRent =
        addList(this, QStringLiteral("rentList"), QStringLiteral("房租费结算列表"), dialogUnits(239, 135, 230, 115),
                {{QStringLiteral(" 姓  名"), 66},
                 {QStringLiteral(" 工  号"), 66},
                 {QStringLiteral(" 房间号码"), 66},
                 {QStringLiteral(" 房  租"), 59},
                 {QStringLiteral(" 结算日期"), 80},
                 {QStringLiteral("房租到期"), 80}},
                18);
    installListActions(m_listFee, QStringLiteral("水电费列表"), QStringLiteral("费用管理"),
                       {utilityBillAction(m_connection, m_listFee)});
    installListActions(m_listRent, QStringLiteral("房租列表"), QStringLiteral("费用管理"),
                       {rentReceiptAction(m_connection, m_listRent)});

    m_pFeeStdSet = std::make_unique<Recordset>(&m_connection);
    m_pFeeInfoSet = std::make_unique<Recordset>(&m_connection);
    m_pFeeListSet = std::make_unique<Recordset>(&m_connection);
    m_pFloorSet = std::make_unique<Recordset>(&m_connection);
    m_pResidentSet = std::make_unique<Recordset>(&m_connection);
    m_pRentDueSet = std::make_unique<Recordset>(&m_connection);
    m_pRentListSet = std::make_unique<Recordset>(&m_connection);

    onClick(setButton, [this] { OnSetStandard(); });
    onClick(settleUtilityButton, [this] { OnSettleUtility(); });
    onClick(clearFeeButton, [this] { OnClearFeeList(); });
    onClick(listFeesButton, [this] { OnListFees(); });
    onClick(settleRentButton, [this] { OnSettleRent(); });
    onClick(listRentButton, [this] { OnListRent(); });
    onClick(clearRentButton, [this] { OnClearRentList(); });

    DoDataExchange(false);
}

CDialog4::~CDialog4() = default;

bool CDialog4::DoDataExchange(bool bSaveAndValidate)
{
    if (!bSaveAndValidate) {
        exchange::writeFloat(m_waterPriceEdit, m_fWaterPrice);
        exchange::writeFloat(m_powerPriceEdit, m_fPowerPrice);
        exchange::writeInt(m_rentPriceEdit, m_nRentPrice);
        m_feeRoomEdit->setText(m_strFeeRoom);
        exchange::writeInt(m_waterReadingEdit, m_nWaterReading);
        exchange::writeInt(m_powerReadingEdit, m_nPowerReading);
        m_staffNoEdit->setText(m_strStaffNo);
        m_staffNameEdit->setText(m_strStaffName);
        return true;
    }
    if (!exchange::readFloat(m_waterPriceEdit, m_fWaterPrice) ||
        !exchange::readFloat(m_powerPriceEdit, m_fPowerPrice) || !exchange::readInt(m_rentPriceEdit, m_nRentPrice) ||
        !exchange::readText(m_feeRoomEdit, m_strFeeRoom) || !exchange::readInt(m_waterReadingEdit, m_nWaterReading) ||
        !exchange::readInt(m_powerReadingEdit, m_nPowerReading))
        return false;
    if (m_nWaterReading < 0 || m_nWaterReading > kReadingMax)
        return exchange::failIntRange(m_waterReadingEdit, 0, kReadingMax);
    if (m_nPowerReading < 0 || m_nPowerReading > kReadingMax)
        return exchange::failIntRange(m_powerReadingEdit, 0, kReadingMax);
    if (!exchange::readText(m_staffNoEdit, m_strStaffNo, kStaffNoBytes))
        return false;
    // The name is only ever shown, never typed, so its length is not held against the form.
    m_strStaffName = m_staffNameEdit->text();
    return true;
}

bool CDialog4::standardStored()
{
    m_pFeeStdSet->openIfClosed(sql::feeStandard);
    m_pFeeStdSet->rewind();
    if (m_pFeeStdSet->BOF() && m_pFeeStdSet->adoEOF()) {
        m_pFeeStdSet->closeIfOpen();
        showMessage(this, kNoStandard);
        return false;
    }
    return true;
}

void CDialog4::addStandardRow()
{
    m_varWater = FieldValue(m_fWaterPrice);
    m_varPower = FieldValue(m_fPowerPrice);
    m_varRent = FieldValue::int32(m_nRentPrice);
    m_pFeeStdSet->AddNew();
    m_pFeeStdSet->PutCollect(standard::water, m_varWater);
    m_pFeeStdSet->PutCollect(standard::power, m_varPower);
    m_pFeeStdSet->PutCollect(standard::rent, m_varRent);
    m_pFeeStdSet->Update();
}

void CDialog4::OnSetStandard()
{
    m_pFeeStdSet->openIfClosed(sql::feeStandard);
    if (!DoDataExchange(true))
        return;
    if (!(m_fWaterPrice > 0 && m_fWaterPrice <= 100)) {
        showMessage(this, QStringLiteral("请输入一个大于0小于100的数！"));
        return;
    }
    if (!(m_fPowerPrice > 0 && m_fPowerPrice <= 100)) {
        showMessage(this, QStringLiteral("请正确输入标准！"));
        return;
    }
    if (m_nRentPrice < 1 || m_nRentPrice > 10000) {
        showMessage(this, QStringLiteral("请输入一个大于0小于10000的数！"));
        return;
    }

    if (m_pFeeStdSet->BOF() && m_pFeeStdSet->adoEOF()) {
        if (showMessage(this, QStringLiteral("目前还没有设置费用标准，你要继续设置吗？"), MessageButtons::OkCancel) ==
            MessageAnswer::Cancel)
            return;
        const QString confirm = QString::asprintf(
            "你设置的水费为：%4.2f元/吨  电费为：%4.2f元/度  房租费为：%ld元/人吗？",
            static_cast<double>(m_fWaterPrice), static_cast<double>(m_fPowerPrice), static_cast<long>(m_nRentPrice));
        if (showMessage(this, confirm, MessageButtons::OkCancel) == MessageAnswer::Cancel)
            return;
        addStandardRow();
    } else {
        m_pFeeStdSet->rewind();
        m_varWater = m_pFeeStdSet->GetCollect(standard::water);
        m_varPower = m_pFeeStdSet->GetCollect(standard::power);
        m_varRent = m_pFeeStdSet->GetCollect(standard::rent);
        m_fWaterFee = m_varWater.asSingle();
        m_fPowerFee = m_varPower.asSingle();
        m_nRentDue = m_varRent.asInt32();
        const QString confirm = QString::asprintf(
            "目前的水费为：%4.2f元/吨   目前的电费为：%4.2f元/度   目前的房租费为：%ld元/人\n\n\n"
            "你确定要修改为现在的水费为：%4.2f元/吨  电费为：%4.2f元/度  房租费为：%ld元/人吗？",
            static_cast<double>(m_fWaterFee), static_cast<double>(m_fPowerFee), static_cast<long>(m_nRentDue),
            static_cast<double>(m_fWaterPrice), static_cast<double>(m_fPowerPrice), static_cast<long>(m_nRentPrice));
        if (showMessage(this, confirm, MessageButtons::OkCancel) == MessageAnswer::Cancel)
            return;
        // A change replaces the row, so the table keeps exactly one.
        m_pFeeStdSet->Delete(adAffectCurrent);
        m_pFeeStdSet->Update();
        addStandardRow();
    }
    m_pFeeStdSet->closeIfOpen();
}

void CDialog4::OnClearFeeList()
{
    m_listFee->clearRows();
}

void CDialog4::OnClearRentList()
{
    m_listRent->clearRows();
}

void CDialog4::OnSettleUtility()
{
    m_pFloorSet->closeIfOpen();
    m_pFeeInfoSet->closeIfOpen();
    if (!DoDataExchange(true))
        return;
    const QString date = dateText(m_dtFeeDate->date());
    if (!utilityFormComplete())
        return;
    std::int32_t previousWater = 0;
    std::int32_t previousPower = 0;
    if (!findRoomToSettle(date, previousWater, previousPower))
        return;

    SettlementReadings kept{0, 0, m_strFeeRoom, date, previousWater, previousPower, m_nWaterReading, m_nPowerReading};
    kept.readingsRow = storeReadings(date);
    // Widened so that a stored base reading far below zero cannot wrap the difference.
    chargeUtility(std::int64_t{m_nWaterReading} - previousWater, std::int64_t{m_nPowerReading} - previousPower);
    // chargeUtility leaves the standard it charged at in m_varWater and m_varPower.
    kept.waterPrice = m_varWater.asSingle();
    kept.powerPrice = m_varPower.asSingle();
    kept.billRow = addUtilityBill(date);
    // In the settlement's unit: its bill can be printed as settled for as long as its rows stay.
    keepSettlementReadings(m_connection, kept);

    m_listFee->clearRows();
    m_listFee->appendValues({m_strFeeRoom, date, m_varWater, m_varPower, m_varTotal});
}

bool CDialog4::utilityFormComplete()
{
    if (m_strFeeRoom.isEmpty()) {
        showMessage(this, QStringLiteral("请输入房间号码！"));
        return false;
    }
    if (m_nWaterReading <= 0 || m_nWaterReading > 999999 || m_nPowerReading <= 0 || m_nPowerReading > 999999) {
        showMessage(this, QStringLiteral("请输入一个大于0小于999999的数！"));
        return false;
    }
    return true;
}

bool CDialog4::findRoomToSettle(const QString &date, std::int32_t &previousWater, std::int32_t &previousPower)
{
    m_pFeeInfoSet->openIfClosed(sql::withValues(sql::feeInfoByDateRoom, date, m_strFeeRoom));
    m_pFloorSet->openIfClosed(sql::withValue(sql::floorByRoom, m_strFeeRoom));
    if (m_pFloorSet->BOF() && m_pFloorSet->adoEOF()) {
        showMessage(this, QStringLiteral("您输入的房间号码还没有被初始化，请查询后输入！"));
        return false;
    }
    previousWater = m_pFloorSet->GetCollect(rooms::waterBase).asInt32();
    previousPower = m_pFloorSet->GetCollect(rooms::powerBase).asInt32();
    if (m_nWaterReading < previousWater || m_nPowerReading < previousPower) {
        showMessage(this, QStringLiteral("现在的表数小于上次的表数，请核查后在结算！"));
        return false;
    }
    if (!(m_pFeeInfoSet->BOF() && m_pFeeInfoSet->adoEOF())) {
        showMessage(this, QStringLiteral("同一日期对同一房间已经操作超过一次，不允许这样操作！"));
        return false;
    }
    // Without a standard the readings must not be recorded either: the base readings would move
    // on and that consumption would never be billed.
    return standardStored();
}

std::int64_t CDialog4::storeReadings(const QString &date)
{
    m_pFeeInfoSet->AddNew();
    m_pFeeInfoSet->PutCollect(meters::room, m_strFeeRoom);
    m_pFeeInfoSet->PutCollect(meters::date, date);
    m_pFeeInfoSet->PutCollect(meters::water, FieldValue::int32(m_nWaterReading));
    m_pFeeInfoSet->PutCollect(meters::power, FieldValue::int32(m_nPowerReading));
    m_pFeeInfoSet->Update();
    const std::int64_t row = lastInsertedRow(m_connection);

    m_pFloorSet->PutCollect(rooms::waterBase, FieldValue::int32(m_nWaterReading));
    m_pFloorSet->PutCollect(rooms::powerBase, FieldValue::int32(m_nPowerReading));
    m_pFloorSet->Update();
    m_pFloorSet->closeIfOpen();
    m_pFeeInfoSet->closeIfOpen();
    return row;
}

void CDialog4::chargeUtility(std::int64_t usedWater, std::int64_t usedPower)
{
    m_pFeeStdSet->openIfClosed(sql::feeStandard);
    m_varWater = m_pFeeStdSet->GetCollect(standard::water);
    m_varPower = m_pFeeStdSet->GetCollect(standard::power);
    const float waterPrice = m_varWater.asSingle();
    const float powerPrice = m_varPower.asSingle();
    m_pFeeStdSet->closeIfOpen();

    const double waterProduct = static_cast<double>(usedWater) * static_cast<double>(waterPrice);
    const double powerProduct = static_cast<double>(usedPower) * static_cast<double>(powerPrice);
    m_fWaterFee = static_cast<float>(waterProduct);
    m_fPowerFee = static_cast<float>(powerProduct);
    m_fTotalFee = static_cast<float>(waterProduct + powerProduct);
}

std::int64_t CDialog4::addUtilityBill(const QString &date)
{
    m_pFeeListSet->openIfClosed(sql::feeListAll);
    m_varWater = FieldValue(m_fWaterFee);
    m_varPower = FieldValue(m_fPowerFee);
    m_varTotal = FieldValue(m_fTotalFee);
    m_pFeeListSet->AddNew();
    m_pFeeListSet->PutCollect(bills::roomNo, m_strFeeRoom);
    m_pFeeListSet->PutCollect(bills::date, date);
    m_pFeeListSet->PutCollect(bills::water, m_varWater);
    m_pFeeListSet->PutCollect(bills::power, m_varPower);
    m_pFeeListSet->PutCollect(bills::total, m_varTotal);
    m_pFeeListSet->Update();
    const std::int64_t row = lastInsertedRow(m_connection);
    m_pFeeListSet->closeIfOpen();
    return row;
}

void CDialog4::OnListFees()
{
    m_listFee->clearRows();
    m_pFeeListSet->openIfClosed(sql::feeListAll);
    m_pFeeListSet->rewind();
    while (!m_pFeeListSet->adoEOF()) {
        m_listFee->appendRecord(*m_pFeeListSet, {bills::roomNo, bills::date, bills::water, bills::power, bills::total});
        m_pFeeListSet->MoveNext();
    }
    m_pFeeListSet->closeIfOpen();
}

void CDialog4::OnListRent()
{
    m_pRentListSet->openIfClosed(sql::rentListJoin);
    m_pRentListSet->rewind();
    m_listRent->clearRows();
    while (!m_pRentListSet->adoEOF()) {
        m_listRent->appendRecord(*m_pRentListSet, {people::name, rentCharges::staffNo, people::room, rentCharges::rent,
                                                   rentCharges::date, rentDue::paidUpTo});
        m_pRentListSet->MoveNext();
    }
    m_pRentListSet->closeIfOpen();
}

void CDialog4::OnSettleRent()
{
    const QString date = dateText(m_dtRentDate->date());
    if (!DoDataExchange(true))
        return;
    if (!findResidentToCharge())
        return;

    QString startText;
    std::int32_t previousTotal = 0;
    const bool firstSettlement = findRentStart(startText, previousTotal);
    const RentPeriod period = rentPeriod(readDateText(startText), readDateText(date));
    if (period.outcome == RentPeriod::Outcome::BeforeStart)
        return refuseRent(kBeforeStart);
    if (period.outcome == RentPeriod::Outcome::NotYetDue)
        return refuseRent(kNotYetDue);
    std::int64_t total = 0;
    if (!chargeRent(period.months, previousTotal, total))
        return;

    const QString paidUpTo = paidUpToText(period.paidUpTo.year, period.paidUpTo.month, period.paidUpTo.day);
    storeRentDue(firstSettlement, paidUpTo, total);
    const std::int64_t chargeRow = addRentCharge(date);
    // In the settlement's unit, so that every receipt can state the period its own row paid for.
    keepRentPeriod(m_connection, {chargeRow, m_strStaffNo, date, startText, paidUpTo, period.months, m_nRentDue});
    showRentSettled(date, paidUpTo);
}

bool CDialog4::findResidentToCharge()
{
    m_pResidentSet->closeIfOpen();
    m_pResidentSet->Open(sql::withValue(sql::personByStaffNo, m_strStaffNo));
    if (m_pResidentSet->BOF() && m_pResidentSet->adoEOF()) {
        showMessage(this, QStringLiteral("您输入的工号还没有入住，无法计算房租！"));
        return false;
    }
    return true;
}

bool CDialog4::findRentStart(QString &startText, std::int32_t &previousTotal)
{
    m_pRentDueSet->closeIfOpen();
    m_pRentDueSet->Open(sql::withValue(sql::rentDueByStaffNo, m_strStaffNo));
    if (m_pRentDueSet->BOF() && m_pRentDueSet->adoEOF()) {
        startText = m_pResidentSet->GetCollect(people::date).toText();
        return true;
    }
    startText = m_pRentDueSet->GetCollect(rentDue::date).toText();
    previousTotal = m_pRentDueSet->GetCollect(rentDue::total).asInt32();
    return false;
}

void CDialog4::refuseRent(const QString &text)
{
    showMessage(this, text);
    m_pRentDueSet->closeIfOpen();
}

bool CDialog4::chargeRent(std::int64_t months, std::int32_t previousTotal, std::int64_t &total)
{
    if (!standardStored()) {
        m_pRentDueSet->closeIfOpen();
        return false;
    }
    m_varRent = m_pFeeStdSet->GetCollect(standard::rent);
    const std::int32_t monthlyRent = m_varRent.asInt32();
    m_pFeeStdSet->closeIfOpen();
    const std::int64_t charge = monthlyRent * months;
    if (!fitsInt32(charge)) {
        refuseRent(kChargeTooLarge);
        return false;
    }
    total = previousTotal + charge;
    if (!fitsInt32(total)) {
        refuseRent(kTotalTooLarge);
        return false;
    }
    m_nRentDue = static_cast<int>(charge);
    m_varRent = FieldValue::int32(m_nRentDue);
    return true;
}

void CDialog4::storeRentDue(bool firstSettlement, const QString &paidUpTo, std::int64_t total)
{
    if (firstSettlement) {
        m_pRentDueSet->AddNew();
        m_pRentDueSet->PutCollect(rentDue::staffNo, m_strStaffNo);
    }
    m_pRentDueSet->PutCollect(rentDue::date, paidUpTo);
    m_pRentDueSet->PutCollect(rentDue::total, FieldValue::int32(static_cast<std::int32_t>(total)));
    m_pRentDueSet->Update();
    m_pRentDueSet->closeIfOpen();
}

std::int64_t CDialog4::addRentCharge(const QString &date)
{
    m_pRentListSet->openIfClosed(sql::rentListAll);
    m_pRentListSet->AddNew();
    m_pRentListSet->PutCollect(rentCharges::staffNo, m_strStaffNo);
    m_pRentListSet->PutCollect(rentCharges::date, date);
    m_pRentListSet->PutCollect(rentCharges::rent, m_varRent);
    m_pRentListSet->Update();
    const std::int64_t row = lastInsertedRow(m_connection);
    m_pRentListSet->closeIfOpen();
    return row;
}

void CDialog4::showRentSettled(const QString &date, const QString &paidUpTo)
{
    const FieldValue room = m_pResidentSet->GetCollect(people::room);
    const FieldValue name = m_pResidentSet->GetCollect(people::name);
    m_strStaffName = name.toDisplayText();
    DoDataExchange(false);
    m_pResidentSet->closeIfOpen();

    m_listRent->clearRows();
    m_listRent->appendValues({name, m_strStaffNo, room, FieldValue::int32(m_nRentDue), date, paidUpTo});
}

} // namespace orv
