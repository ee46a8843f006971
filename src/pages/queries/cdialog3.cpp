#include "cdialog3.h"

namespace orv {

CDialog3::CDialog3(Connection &connection, QWidget *parent) : Page(connection, parent)
{
    setObjectName(QStringLiteral("CDialog3"));
}

CDialog3::~CDialog3() = default;

} // namespace orv
