#pragma once

#include "kit/page.h"
#include "operations/outcome.h"

#include <QString>

class QDateEdit;
class QLabel;
class QLineEdit;

namespace orv {

class ReportList;

// The fee tab: the fee standard, the water and electricity bill of a room, and the monthly rent of
// a resident.
class FeesPage final : public Page {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FeesPage)
public:
    explicit FeesPage(Connection &connection, QWidget *parent = nullptr);
    ~FeesPage() override;

    void OnSetStandard();
    void OnClearFeeList();
    void OnClearRentList();
    void OnSettleUtility();
    void OnListFees();
    void OnSettleRent();
    void OnListRent();

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Shows the standard in force, as stored, on its line.
    void showStandardInForce();

    ReportList *m_listRent = nullptr;
    ReportList *m_listFee = nullptr;

    float m_fWaterPrice = 0;
    float m_fPowerPrice = 0;
    int m_nRentPrice = 0;

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
    // Shows a refusal, or the success text where there is one; returns whether it was done.
    bool showOutcome(const ops::Outcome &outcome);

    QLineEdit *m_waterPriceEdit = nullptr;
    QLineEdit *m_powerPriceEdit = nullptr;
    QLineEdit *m_rentPriceEdit = nullptr;
    QLineEdit *m_feeRoomEdit = nullptr;
    QLineEdit *m_waterReadingEdit = nullptr;
    QLineEdit *m_powerReadingEdit = nullptr;
    QLineEdit *m_staffNoEdit = nullptr;
    QLineEdit *m_staffNameEdit = nullptr;
    QLabel *m_standardLine = nullptr;
};

} // namespace orv
