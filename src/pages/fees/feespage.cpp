#include "feespage.h"

#include "data/columns.h"
#include "data/fieldvalue.h"
#include "data/listpages.h"
#include "data/storeerror.h"
#include "kit/bills.h"
#include "kit/form.h"
#include "kit/listactions.h"
#include "kit/messagebox.h"
#include "kit/reportlist.h"
#include "operations/accommodation.h"
#include "operations/fees.h"
#include "reckondialogs.h"

#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <optional>

namespace orv {
namespace {

namespace people = db::personinfo;
namespace bills = db::listfei;
namespace rentDue = db::fangset;
namespace rentCharges = db::fanglist;

// Labels sit left of their field, on the field's text line.
constexpr LabelLine kLabelLine{2, 2, 8};

} // namespace

FeesPage::FeesPage(Connection &connection, QWidget *parent) : Page(connection, parent)
{
    setObjectName(QStringLiteral("FeesPage"));
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
    m_standardLine = addLabel(this, QString(), dialogUnits(24, 35, 430, 9));
    m_standardLine->setObjectName(QStringLiteral("standardLine"));

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
    // Narrower than the template's, to leave room for the list's own button.
    auto *clearFeeButton =
        addButton(this, QStringLiteral("信息清除"), QStringLiteral("clearFeeListButton"), dialogUnits(77, 114, 46, 14));
    auto *listFeesButton =
        addButton(this, QStringLiteral("费用列表"), QStringLiteral("listFeesButton"), dialogUnits(127, 114, 46, 14));
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
    m_staffNoEdit->setValidator(new Cp936LimitValidator(ops::kStaffNoBytes, false, m_staffNoEdit));
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
                                      dialogUnits(351, 114, 59, 14));
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
                       {utilityBillAction(m_connection, m_listFee),
                        {QStringLiteral("分摊账单…"), QStringLiteral("shareBillAction"), [this](int row) {
                             showBillShares(this, m_connection, m_listFee->cellText(row, 0),
                                            m_listFee->cellText(row, 1), operatorName());
                         }}});
    installListActions(m_listRent, QStringLiteral("房租列表"), QStringLiteral("费用管理"),
                       {rentReceiptAction(m_connection, m_listRent)});
    auto *feeMenuButton =
        addListMenuButton(m_listFee, QStringLiteral("feeListMenuButton"), dialogUnits(177, 114, 43, 14));
    auto *rentMenuButton =
        addListMenuButton(m_listRent, QStringLiteral("rentListMenuButton"), dialogUnits(414, 114, 55, 14));
    auto *arrearsButton =
        addButton(this, QStringLiteral("欠费名单"), QStringLiteral("arrearsButton"), dialogUnits(239, 114, 45, 14));
    connect(arrearsButton, &QPushButton::clicked, this, [this] { showArrears(this, m_connection, operatorName()); });

    onClick(setButton, [this] { OnSetStandard(); });
    onClick(settleUtilityButton, [this] { OnSettleUtility(); });
    onClick(clearFeeButton, [this] { OnClearFeeList(); });
    onClick(listFeesButton, [this] { OnListFees(); });
    onClick(settleRentButton, [this] { OnSettleRent(); });
    onClick(listRentButton, [this] { OnListRent(); });
    onClick(clearRentButton, [this] { OnClearRentList(); });
    // After the handler's unit has ended, so the line shows what was kept.
    connect(setButton, &QPushButton::clicked, this, &FeesPage::showStandardInForce);

    // Each form ends at its button, before the lists.
    setTabChain({m_waterPriceEdit, m_powerPriceEdit,   m_rentPriceEdit,    setButton,           m_dtFeeDate,
                 m_feeRoomEdit,    m_waterReadingEdit, m_powerReadingEdit, settleUtilityButton, m_staffNoEdit,
                 m_staffNameEdit,  m_dtRentDate,       settleRentButton,   clearFeeButton,      listFeesButton,
                 m_listFee,        feeMenuButton,      listRentButton,     clearRentButton,     m_listRent,
                 rentMenuButton,   arrearsButton});
    setFirstField(m_waterPriceEdit);
    setEnterButton({m_waterPriceEdit, m_powerPriceEdit, m_rentPriceEdit}, setButton);
    setEnterButton({m_dtFeeDate, m_feeRoomEdit, m_waterReadingEdit, m_powerReadingEdit}, settleUtilityButton);
    setEnterButton({m_staffNoEdit, m_staffNameEdit, m_dtRentDate}, settleRentButton);
    setButtonShortcut(setButton, QKeySequence(Qt::ALT | Qt::Key_S));
    setButtonShortcut(settleUtilityButton, QKeySequence(Qt::ALT | Qt::Key_U));
    setButtonShortcut(clearFeeButton, QKeySequence(Qt::ALT | Qt::Key_C));
    setButtonShortcut(listFeesButton, QKeySequence(Qt::ALT | Qt::Key_F));
    setButtonShortcut(settleRentButton, QKeySequence(Qt::ALT | Qt::Key_R));
    setButtonShortcut(listRentButton, QKeySequence(Qt::ALT | Qt::Key_L));
    setButtonShortcut(clearRentButton, QKeySequence(Qt::ALT | Qt::Key_E));
    setButtonShortcut(feeMenuButton, QKeySequence(Qt::ALT | Qt::Key_1));
    setButtonShortcut(rentMenuButton, QKeySequence(Qt::ALT | Qt::Key_2));
    setButtonShortcut(arrearsButton, QKeySequence(Qt::ALT | Qt::Key_Q));

    // The two lists share the room the page gains side by side; the rent side keeps to the right.
    setGrowth(m_listFee, {0, 0, 0.5, 1});
    setGrowth(m_listRent, {0.5, 0, 0.5, 1});
    setGrowth(feeMenuButton, {0.5, 0, 0, 0});
    setGrowth(dialogUnits(232, 47, 260, 85), {0.5, 0, 0, 0});

    DoDataExchange(false);
    showStandardInForce();
}

void FeesPage::showEvent(QShowEvent *event)
{
    Page::showEvent(event);
    // The data menu's restore may have brought another standard.
    showStandardInForce();
}

void FeesPage::showStandardInForce()
{
    QString line = QStringLiteral("当前标准：未设置");
    try {
        if (const std::optional<ops::StoredStandard> stored = ops::storedStandard(m_connection)) {
            line = QStringLiteral("当前标准：水费 %1 元/吨，电费 %2 元/度，房租 %3 元/人·月")
                       .arg(realToText(static_cast<double>(stored->water.asSingle()), 6),
                            realToText(static_cast<double>(stored->power.asSingle()), 6))
                       .arg(stored->rent.asInt32());
        }
    } catch (const StoreError &) {
        // A store that cannot be read shows no standard; its fault shows on use.
        line.clear();
    }
    m_standardLine->setText(line);
}

FeesPage::~FeesPage() = default;

bool FeesPage::DoDataExchange(bool bSaveAndValidate)
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
    if (m_nWaterReading < 0 || m_nWaterReading > ops::kReadingMax)
        return exchange::failIntRange(m_waterReadingEdit, 0, ops::kReadingMax);
    if (m_nPowerReading < 0 || m_nPowerReading > ops::kReadingMax)
        return exchange::failIntRange(m_powerReadingEdit, 0, ops::kReadingMax);
    if (!exchange::readText(m_staffNoEdit, m_strStaffNo, ops::kStaffNoBytes))
        return false;
    // The name is only ever shown, never typed, so its length is not held against the form.
    m_strStaffName = m_staffNameEdit->text();
    return true;
}

void FeesPage::OnSetStandard()
{
    // Read before the form, so that a store that cannot be read is reported before any prompt.
    const std::optional<ops::StoredStandard> stored = ops::storedStandard(m_connection);
    if (!DoDataExchange(true))
        return;
    const ops::StandardForm form{m_fWaterPrice, m_fPowerPrice, m_nRentPrice};
    if (!showOutcome(ops::checkStandard(form)))
        return;
    for (const QString &question : ops::standardQuestions(stored, form)) {
        if (showMessage(this, question, MessageButtons::OkCancel) == MessageAnswer::Cancel)
            return;
    }
    if (showOutcome(ops::setStandard(m_connection, form)))
        announce(QStringLiteral("已设置费用标准"));
}

void FeesPage::OnClearFeeList()
{
    m_listFee->clearRows();
}

void FeesPage::OnClearRentList()
{
    m_listRent->clearRows();
}

void FeesPage::OnSettleUtility()
{
    if (!DoDataExchange(true))
        return;
    const ops::ReadingForm form{m_dtFeeDate->date(), m_strFeeRoom, m_nWaterReading, m_nPowerReading};
    QString settled;
    if (showOutcome(ops::settleUtility(m_connection, form,
                                       [this, &settled](const ops::UtilityBill &bill) {
                                           m_listFee->clearRows();
                                           m_listFee->appendValues({bill.room, bill.date, FieldValue(bill.water),
                                                                    FieldValue(bill.power), FieldValue(bill.total)});
                                           settled =
                                               QStringLiteral("已结算 %1 水电费：水费 %2 元，电费 %3 元，合计 %4 元")
                                                   .arg(bill.room, FieldValue(bill.water).toDisplayText(),
                                                        FieldValue(bill.power).toDisplayText(),
                                                        FieldValue(bill.total).toDisplayText());
                                       })) &&
        !settled.isEmpty())
        announce(settled);
}

// Both lists grow with the years: they read their rows as they are shown.
void FeesPage::OnListFees()
{
    m_listFee->clearRows();
    m_listFee->showPages(ops::feePages(m_connection),
                         {bills::roomNo, bills::date, bills::water, bills::power, bills::total});
}

void FeesPage::OnListRent()
{
    m_listRent->showPages(ops::rentPages(m_connection), {people::name, rentCharges::staffNo, people::room,
                                                         rentCharges::rent, rentCharges::date, rentDue::paidUpTo});
}

void FeesPage::OnSettleRent()
{
    const QDate date = m_dtRentDate->date();
    if (!DoDataExchange(true))
        return;
    QString settled;
    if (showOutcome(ops::settleRent(m_connection, {date, m_strStaffNo},
                                    [this, &settled](const ops::RentCharge &charge) {
                                        m_strStaffName = charge.name.toDisplayText();
                                        DoDataExchange(false);
                                        m_listRent->clearRows();
                                        m_listRent->appendValues({charge.name, charge.staffNo, charge.room,
                                                                  FieldValue::int32(charge.rent), charge.date,
                                                                  charge.paidUpTo});
                                        settled =
                                            QStringLiteral("已为 %1 结算房租 %2 元，交至 %3")
                                                .arg(m_strStaffName, QString::number(charge.rent), charge.paidUpTo);
                                    })) &&
        !settled.isEmpty())
        announce(settled);
}

bool FeesPage::showOutcome(const ops::Outcome &outcome)
{
    record(outcome.log);
    if (!outcome.done)
        showMessage(this, outcome.message);
    else if (!outcome.message.isEmpty())
        reportSuccess(outcome.message);
    return outcome.done;
}

} // namespace orv
