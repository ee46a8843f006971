#include "cdialog2.h"

namespace orv {

CDialog2::CDialog2(Connection &connection, QWidget *parent) : Page(connection, parent)
{
    setObjectName(QStringLiteral("CDialog2"));
}

CDialog2::~CDialog2() = default;

} // namespace orv
