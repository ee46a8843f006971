#include "passwordinput.h"

#include <QByteArray>
#include <QFile>

#include <cstdio>
#include <sodium.h>
#include <termios.h>
#include <unistd.h>

namespace orv {

namespace {

// Keeps a typed password off the screen while it is read from a terminal.
class HiddenTyping final {
public:
    HiddenTyping()
    {
        if (::isatty(STDIN_FILENO) == 0 || ::tcgetattr(STDIN_FILENO, &m_saved) != 0)
            return;
        termios quiet = m_saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        m_hidden = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    ~HiddenTyping()
    {
        if (m_hidden) {
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved);
            std::fputc('\n', stderr);
        }
    }
    HiddenTyping(const HiddenTyping &) = delete;
    HiddenTyping &operator=(const HiddenTyping &) = delete;

private:
    termios m_saved{};
    bool m_hidden = false;
};

} // namespace

QString passwordFromStandardInput(const char *prompt)
{
    if (::isatty(STDIN_FILENO) != 0)
        std::fputs(prompt, stderr);
    QByteArray line;
    {
        const HiddenTyping hidden;
        QFile input;
        if (input.open(stdin, QIODevice::ReadOnly))
            line = input.readLine();
    }
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    QString password = QString::fromUtf8(line);
    sodium_memzero(line.data(), static_cast<std::size_t>(line.size()));
    return password;
}

} // namespace orv
