#pragma once

#include "data/keyslots.h"
#include "data/securekey.h"

#include <QDeadlineTimer>
#include <QDialog>

#include <chrono>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace orv {

// Wrong sign-ins in a row, kept by whoever asks for sign-ins so that closing and reopening the
// dialog does not start the count afresh.
struct SignInTries {
    static constexpr int kAllowed = 5;
    static constexpr std::chrono::milliseconds kDefaultWait{30000};

    int failures = 0;
    std::chrono::milliseconds wait = kDefaultWait; // tests shorten it
    QDeadlineTimer nextTry;                        // not before this, once kAllowed have failed
};

// Asks for an operator and a password and opens their key slot. A wrong pair gets the slots' one
// refusal; after five in a row each further try waits. Locked to a name, it asks that operator
// alone (unlocking the screen); given a key, it accepts only a slot that unseals that very key.
class SignInDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SignInDialog)
public:
    SignInDialog(const KeySlots &slots, SignInTries &tries, QWidget *parent = nullptr);
    ~SignInDialog() override;

    void lockToOperator(const QString &name);
    void requireKey(const SecureKey *key) { m_requiredKey = key; }

    // What the accepted sign-in unsealed; empty before it and after it was taken.
    Unlocked takeUnlocked() { return std::move(m_unlocked); }

private:
    void trySignIn();
    void showWait();

    const KeySlots &m_slots;
    SignInTries &m_tries;
    const SecureKey *m_requiredKey = nullptr;
    Unlocked m_unlocked;
    // Held while the dialog is open: while any locked bytes exist the process writes no core
    // dump, and a typed password sits in ordinary memory before it is turned into a key.
    SecureBytes m_noDumps;
    QComboBox *m_operatorCombo;
    QLineEdit *m_passwordEdit;
    QPushButton *m_signInButton;
    QLabel *m_waitLabel;
    QTimer *m_waitTick;
};

} // namespace orv
