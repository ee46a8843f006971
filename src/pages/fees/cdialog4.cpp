#include "cdialog4.h"

namespace orv {

CDialog4::CDialog4(Connection &connection, QWidget *parent) : Page(connection, parent)
{
    setObjectName(QStringLiteral("CDialog4"));
}

CDialog4::~CDialog4() = default;

} // namespace orv
