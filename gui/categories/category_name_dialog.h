// SPDX-License-Identifier: GPL-3.0-or-later
// CategoryNameDialog: asks for the name of a new category.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

namespace Ui {
class CategoryNameDialog;
}

namespace korvane {

class CategoryNameDialog : public QDialog {
    Q_OBJECT

public:
    explicit CategoryNameDialog(QWidget* parent = nullptr);
    ~CategoryNameDialog() override;

    // After OK: the name as typed, in GBK bytes. Empty and already existing names are accepted.
    const std::string& category_name() const { return category_name_; }

public slots:
    void accept() override;

private:
    std::unique_ptr<Ui::CategoryNameDialog> ui_;
    std::string category_name_;
};

}  // namespace korvane
