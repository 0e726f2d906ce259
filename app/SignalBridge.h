#pragma once

#include <QObject>

class QSocketNotifier;

namespace oculet {

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the GUI thread, so that being stopped from
// outside runs the same shutdown as closing the window.
class SignalBridge : public QObject {
    Q_OBJECT
public:
    explicit SignalBridge(QObject* parent = nullptr);
    ~SignalBridge() override;

signals:
    void terminationRequested();

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace oculet
