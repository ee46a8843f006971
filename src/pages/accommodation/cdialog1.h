#pragma once

#include "ui/page.h"

namespace orv {

class CDialog1 final : public Page {
    Q_OBJECT
public:
    explicit CDialog1(Connection &connection, QWidget *parent = nullptr);
    ~CDialog1() override;
};

} // namespace orv
