#pragma once

#include "ui/page.h"

namespace orv {

class CDialog2 final : public Page {
    Q_OBJECT
public:
    explicit CDialog2(Connection &connection, QWidget *parent = nullptr);
    ~CDialog2() override;
};

} // namespace orv
