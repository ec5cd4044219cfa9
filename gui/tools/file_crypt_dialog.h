// SPDX-License-Identifier: GPL-3.0-or-later
// FileCryptDialog: enciphers or deciphers one file with a password into a new file beside it.
#pragma once

#include <QDialog>
#include <QString>
#include <memory>
#include <optional>
#include <string>

#include "vault/session_files.h"

namespace Ui {
class FileCryptDialog;
}

namespace korvane {

class FileChooser;

// Stays open after each operation, so a file can be enciphered and checked at once.
class FileCryptDialog : public QDialog {
    Q_OBJECT

public:
    // password fills both password boxes; no result is ever written over one of session's files.
    FileCryptDialog(const QString& password, SessionFiles session, FileChooser& chooser,
                    QWidget* parent = nullptr);
    ~FileCryptDialog() override;

private:
    void browse();
    void encrypt();
    void decrypt();
    // The password as GBK bytes once both boxes agree and it makes a key; else says why.
    std::optional<std::string> checked_password();
    // The chosen file once it exists; else says why and returns empty.
    QString checked_source();
    // True when target is none of the session's files and is free or the user agreed to
    // replace it.
    bool may_write(const QString& target);

    std::unique_ptr<Ui::FileCryptDialog> ui_;
    SessionFiles session_;
    FileChooser& chooser_;
};

}  // namespace korvane
