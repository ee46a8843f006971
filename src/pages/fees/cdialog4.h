#pragma once

#include "ui/page.h"

namespace orv {

class CDialog4 final : public Page {
    Q_OBJECT
public:
    explicit CDialog4(Connection &connection, QWidget *parent = nullptr);
    ~CDialog4() override;
};

} // namespace orv
