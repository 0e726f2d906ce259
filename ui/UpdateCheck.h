#pragma once

#include "platform/HttpFetch.h"

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

// The version a version page offers: the four characters that begin eleven after the first
// "Oculet" on it (fewer near the end of the page); nothing when the name is not there.
std::optional<QString> offeredVersionText(const QByteArray& page);
// The numeric value of a version text: leading blanks skipped, then digits with at most one "."
// up to the first other character; 0 without digits. "2.3 " is 2.3, newer than 2.21.
double versionValue(const QString& text);
// This program's version as a number, from its version text ("Oculet 2.21" gives 2.21).
double installedVersion(const QString& programVersionText);
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
