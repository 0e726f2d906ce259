#pragma once

#include "platform/HttpFetch.h"
#include "settings/VersionText.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

namespace oculet {

class InterfaceTexts;
class Messages;

// The download page when none is set: the version page's scheme and host with the download path.
QString defaultDownloadPage(const QString& versionPage);

// Once a run, about two seconds after start-up, fetches the version page in the background and,
// when it offers a newer version, asks whether to open the download page. Failures and pages
// without the product name show nothing. The question waits while `mayAsk` says no (a modal
// panel or the region editor is open) and is asked at most once.
class UpdateCheck : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<bool()> mayAsk = [] { return true; };
        std::function<void(const QUrl&)> openUrl; // the desktop's browser unless replaced
        HttpLimits limits;
    };

    UpdateCheck(QString versionPage, QString downloadPage, QString programVersionText,
                const InterfaceTexts& texts, Messages& messages, Hooks hooks, QObject* parent = nullptr);
    ~UpdateCheck() override;

    // Arms the check; without a version page nothing is ever contacted.
    void start(int delayMs = 2000);

signals:
    // The check is over: answered, silent, or failed. A question closed unanswered never ends it.
    void finished();

private:
    void fetch();
    void received(const std::optional<QByteArray>& page);
    void ask();

    QString versionPage_;
    QString downloadPage_;
    double installed_;
    const InterfaceTexts& texts_;
    Messages& messages_;
    Hooks hooks_;
    QTimer startTimer_;
    QTimer waitTimer_;
    std::unique_ptr<HttpFetch> fetch_;
    QString offered_;
    bool started_ = false;
};

} // namespace oculet
