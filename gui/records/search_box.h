// SPDX-License-Identifier: GPL-3.0-or-later
// SearchBox: the toolbar's search field. What is typed searches every category at once.
#pragma once

#include <QLineEdit>

namespace korvane {

class SearchBox : public QLineEdit {
    Q_OBJECT
public:
    explicit SearchBox(QWidget* parent = nullptr);

    // Ctrl+F: the cursor comes here with the text selected, so that typing replaces it.
    void take_focus();

signals:
    // Down or Enter: the user wants to move on to the results.
    void results_wanted();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace korvane
