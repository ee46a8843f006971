#include "cdialog1.h"

namespace orv {

CDialog1::CDialog1(Connection &connection, QWidget *parent) : Page(connection, parent)
{
    setObjectName(QStringLiteral("CDialog1"));
}

CDialog1::~CDialog1() = default;

} // namespace orv
