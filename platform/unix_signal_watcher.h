// SPDX-License-Identifier: GPL-3.0-or-later
// UnixSignalWatcher: turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the event loop, so
// that a kill or a logout ends the program through the normal shutdown.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace korvane {

class UnixSignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit UnixSignalWatcher(QObject* parent = nullptr);
    ~UnixSignalWatcher() override;

    // True once one of the signals has arrived.
    bool received() const { return received_; }

signals:
    void termination_requested();

private:
    QSocketNotifier* notifier_ = nullptr;
    bool received_ = false;
};

}  // namespace korvane
