#pragma once

#include "data/fieldvalue.h"
#include "data/recordset.h"
#include "kit/page.h"

#include <QString>

#include <cstdint>

#include <memory>

class QDateEdit;
class QLineEdit;

namespace orv {

class ReportList;

// The fee tab: the fee standard, the water and electricity bill of a room, and the monthly rent of
// a resident.
class CDialog4 final : public Page {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CDialog4)
public:
    explicit CDialog4(Connection &connection, QWidget *parent = nullptr);
    ~CDialog4() override;

    void OnSetStandard();
    void OnClearFeeList();
    void OnClearRentList();
    void OnSettleUtility();
    void OnListFees();
    void OnSettleRent();
    void OnListRent();

private:
    ReportList *m_listRent = nullptr;
    ReportList *m_listFee = nullptr;

    float m_fWaterPrice = 0;
    float m_fPowerPrice = 0;
    int m_nRentPrice = 0;

    float m_fWaterFee = 0;
    float m_fPowerFee = 0;
    float m_fTotalFee = 0;
    int m_nRentDue = 0;

    FieldValue m_varWater;
    FieldValue m_varPower;
    FieldValue m_varRent;
    FieldValue m_varTotal;

    std::unique_ptr<Recordset> m_pFeeStdSet;
    std::unique_ptr<Recordset> m_pFeeInfoSet;
    std::unique_ptr<Recordset> m_pFeeListSet;
    std::unique_ptr<Recordset> m_pFloorSet;
    std::unique_ptr<Recordset> m_pResidentSet;
    std::unique_ptr<Recordset> m_pRentDueSet;
    std::unique_ptr<Recordset> m_pRentListSet;

    QDateEdit *m_dtFeeDate = nullptr;
    QString m_strFeeRoom;
    int m_nWaterReading = 0;
    int m_nPowerReading = 0;
    QString m_strStaffNo;
    QDateEdit *m_dtRentDate = nullptr;
    QString m_strStaffName;

    // true: controls into members, stopping at the first field that breaks its rule (its prompt
    // has been shown); false: members into controls.
    bool DoDataExchange(bool bSaveAndValidate);
    // Leaves m_pFeeStdSet open on the first standard row, or shows the refusal and returns false.
    bool standardStored();
    void addStandardRow();

    // Utility settlement steps. Each refusal has been shown when a check returns false.
    bool utilityFormComplete();
    // Leaves m_pFloorSet on the room, m_pFeeInfoSet open and m_pFeeStdSet on the standard.
    bool findRoomToSettle(const QString &date, std::int32_t &previousWater, std::int32_t &previousPower);
    // Each returns the row id of the row it added.
    std::int64_t storeReadings(const QString &date);
    void chargeUtility(std::int64_t usedWater, std::int64_t usedPower);
    std::int64_t addUtilityBill(const QString &date);

    // Rent settlement steps.
    // Leaves m_pResidentSet on the resident.
    bool findResidentToCharge();
    // Opens m_pRentDueSet; true when the resident was never charged, counting from the check-in.
    bool findRentStart(QString &startText, std::int32_t &previousTotal);
    void refuseRent(const QString &text);
    bool chargeRent(std::int64_t months, std::int32_t previousTotal, std::int64_t &total);
    void storeRentDue(bool firstSettlement, const QString &paidUpTo, std::int64_t total);
    std::int64_t addRentCharge(const QString &date);
    void showRentSettled(const QString &date, const QString &paidUpTo);

    QLineEdit *m_waterPriceEdit = nullptr;
    QLineEdit *m_powerPriceEdit = nullptr;
    QLineEdit *m_rentPriceEdit = nullptr;
    QLineEdit *m_feeRoomEdit = nullptr;
    QLineEdit *m_waterReadingEdit = nullptr;
    QLineEdit *m_powerReadingEdit = nullptr;
    QLineEdit *m_staffNoEdit = nullptr;
    QLineEdit *m_staffNameEdit = nullptr;
};

} // namespace orv
