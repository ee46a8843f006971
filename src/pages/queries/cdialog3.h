#pragma once

#include "ui/page.h"

namespace orv {

class CDialog3 final : public Page {
    Q_OBJECT
public:
    explicit CDialog3(Connection &connection, QWidget *parent = nullptr);
    ~CDialog3() override;
};

} // namespace orv
