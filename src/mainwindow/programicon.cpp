#include "programicon.h"

// The resources live in a static library, whose registration code the linker would drop unless
// something refers to it; Q_INIT_RESOURCE is that reference and must stand outside any namespace.
static void initProgramResources()
{
    Q_INIT_RESOURCE(orvane);
}

namespace orv {

QIcon programIcon()
{
    initProgramResources();
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/orvane/orvane-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace orv
