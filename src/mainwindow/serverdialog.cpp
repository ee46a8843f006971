#include "serverdialog.h"

#include "data/server/serverstore.h"
#include "data/storeerror.h"
#include "kit/messagebox.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QThread>
#include <QVBoxLayout>

#include <atomic>
#include <memory>
#include <thread>

namespace orv {

namespace {

const QString kServerKey = QStringLiteral("store/server");

struct ConninfoFreer {
    void operator()(PQconninfoOption *options) const noexcept { PQconninfoFree(options); }
};

// True when the URI carries a password: kept in the settings it would lie there in plain text.
bool holdsPassword(const QString &uri)
{
    const QByteArray text = uri.toUtf8();
    char *error = nullptr;
    const std::unique_ptr<PQconninfoOption, ConninfoFreer> options(PQconninfoParse(text.constData(), &error));
    const server::PgText words(error);
    if (!options)
        return false; // the connection attempt names what is wrong with it
    for (const PQconninfoOption *option = options.get(); option->keyword; ++option) {
        if (qstrcmp(option->keyword, "password") == 0 && option->val && *option->val)
            return true;
    }
    return false;
}

} // namespace

QString chosenServer()
{
    return QSettings().value(kServerKey).toString();
}

void chooseServer(const QString &uri)
{
    QSettings().setValue(kServerKey, uri);
}

void chooseLocalFile()
{
    QSettings().remove(kServerKey);
}

QString serverPlace(const server::ServerConnection &connection)
{
    const QString host = QString::fromUtf8(PQhost(connection.handle()));
    // A socket folder says nothing a user would recognise.
    const bool local = host.isEmpty() || host.startsWith(QLatin1Char('/'));
    return QStringLiteral("服务器 %1/%2").arg(local ? QStringLiteral("localhost") : host, connection.databaseName());
}

ServerDialog::ServerDialog(QWidget *parent)
    : QDialog(parent), m_uriEdit(new QLineEdit(this)), m_connectButton(new QPushButton(QStringLiteral("连接"), this)),
      m_localFileButton(new QPushButton(QStringLiteral("改用本机数据库文件"), this))
{
    setObjectName(QStringLiteral("serverDialog"));
    setWindowTitle(QStringLiteral("连接服务器"));
    auto *label = new QLabel(QStringLiteral("数据库服务器的连接地址(&U)："), this);
    label->setObjectName(QStringLiteral("serverUriLabel"));
    label->setBuddy(m_uriEdit);
    m_uriEdit->setObjectName(QStringLiteral("serverUriEdit"));
    m_uriEdit->setText(chosenServer());
    m_uriEdit->setPlaceholderText(QStringLiteral("postgresql://主机/数据库?sslmode=verify-full"));
    m_uriEdit->setMinimumWidth(420);
    auto *hint = new QLabel(QStringLiteral("密码请写在密码文件（~/.pgpass）中，不写在地址里。选择会保存下来，"
                                           "下次启动程序时生效。"),
                            this);
    hint->setObjectName(QStringLiteral("serverHint"));
    hint->setWordWrap(true);
    hint->setTextFormat(Qt::PlainText);

    m_connectButton->setObjectName(QStringLiteral("connectButton"));
    m_connectButton->setDefault(true);
    m_localFileButton->setObjectName(QStringLiteral("localFileButton"));
    m_localFileButton->setEnabled(!chosenServer().isEmpty());
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    buttons->addButton(m_connectButton, QDialogButtonBox::ActionRole);
    buttons->addButton(m_localFileButton, QDialogButtonBox::ActionRole);
    connect(m_connectButton, &QPushButton::clicked, this, &ServerDialog::connectToServer);
    connect(m_localFileButton, &QPushButton::clicked, this, &ServerDialog::useLocalFile);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_uriEdit);
    layout->addWidget(hint);
    layout->addWidget(buttons);
}

void ServerDialog::connectToServer()
{
    const QString uri = m_uriEdit->text().trimmed();
    if (uri.isEmpty()) {
        showMessage(this, QStringLiteral("请输入数据库服务器的连接地址。"));
        m_uriEdit->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (holdsPassword(uri)) {
        showMessage(this, QStringLiteral("连接地址里有密码，保存下来就成了明文。请把密码写在密码文件（~/.pgpass）"
                                         "中，地址里不写密码。"));
        m_uriEdit->setFocus(Qt::OtherFocusReason);
        return;
    }
    // Tried exactly as the next start will open it, so a choice that cannot open is never kept.
    // A host that never answers holds libpq until it gives up, so the try runs beside the dialog,
    // which can still be cancelled; the thread then ends on its own, its answer unread.
    struct Attempt {
        std::atomic<bool> done{false};
        QString place;
        QString failure;
    };
    const auto attempt = std::make_shared<Attempt>();
    std::thread([attempt, uri] {
        try {
            attempt->place = serverPlace(server::ServerStore::open(uri)->server());
        } catch (const StoreError &error) {
            attempt->failure = error.message();
        } catch (...) {
            attempt->failure = QStringLiteral("未知错误。");
        }
        attempt->done = true;
    }).detach();
    m_uriEdit->setEnabled(false);
    m_connectButton->setEnabled(false);
    setCursor(Qt::BusyCursor);
    while (!attempt->done && isVisible()) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    unsetCursor();
    m_uriEdit->setEnabled(true);
    m_connectButton->setEnabled(true);
    if (!attempt->done)
        return;
    if (attempt->place.isEmpty()) {
        showMessage(this, QStringLiteral("连接数据库服务器失败!\n错误信息:") + attempt->failure);
        m_uriEdit->setFocus(Qt::OtherFocusReason);
        return;
    }
    const QString place = attempt->place;
    chooseServer(uri);
    m_outcome = QStringLiteral("已选择数据库%1，下次启动程序时打开它").arg(place);
    accept();
}

void ServerDialog::useLocalFile()
{
    chooseLocalFile();
    m_outcome = QStringLiteral("下次启动程序时打开本机的数据库文件");
    accept();
}

} // namespace orv
