#include "ui/UpdateCheck.h"

#include "platform/Messages.h"
#include "settings/InterfaceTexts.h"

#include <QDesktopServices>
#include <QPointer>

namespace oculet {

QString defaultDownloadPage(const QString& versionPage) {
    const QUrl url(versionPage);
    if (!url.isValid() || url.host().isEmpty()) {
        return {};
    }
    return url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo)
               .toString() +
           QStringLiteral("/_mgxroot/page_10728.html");
}

UpdateCheck::UpdateCheck(QString versionPage, QString downloadPage, QString programVersionText,
                         const InterfaceTexts& texts, Messages& messages, Hooks hooks, QObject* parent)
    : QObject(parent), versionPage_(std::move(versionPage)),
      downloadPage_(downloadPage.isEmpty() ? defaultDownloadPage(versionPage_) : std::move(downloadPage)),
      installed_(installedVersion(programVersionText)), texts_(texts), messages_(messages),
      hooks_(std::move(hooks)) {
    if (!hooks_.openUrl) {
        hooks_.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    }
    startTimer_.setSingleShot(true);
    connect(&startTimer_, &QTimer::timeout, this, &UpdateCheck::fetch);
    waitTimer_.setInterval(500);
    connect(&waitTimer_, &QTimer::timeout, this, [this] {
        if (hooks_.mayAsk()) {
            waitTimer_.stop();
            ask();
        }
    });
}

UpdateCheck::~UpdateCheck() = default;

void UpdateCheck::start(int delayMs) {
    if (started_ || versionPage_.isEmpty()) {
        return;
    }
    started_ = true;
    startTimer_.start(delayMs);
}

void UpdateCheck::fetch() {
    fetch_ = std::make_unique<HttpFetch>(versionPage_, this,
                                         [this](std::optional<QByteArray> page) { received(page); },
                                         hooks_.limits);
}

void UpdateCheck::received(const std::optional<QByteArray>& page) {
    const std::optional<QString> offered = page ? offeredVersionText(*page) : std::nullopt;
    if (!offered || !(installed_ < versionValue(*offered))) {
        emit finished();
        return;
    }
    offered_ = *offered;
    // While a modal panel or the region editor is open, the question waits until it has closed.
    if (hooks_.mayAsk()) {
        ask();
    } else {
        waitTimer_.start();
    }
}

void UpdateCheck::ask() {
    const QString question = texts_[Text::UpdateQuestion] + QStringLiteral("\n\n") +
                             texts_[Text::UpdateQuestionMore] + u' ' + offered_ + u'?';
    // The answer may come after the program has begun to end and dropped this check.
    messages_.askQuestion(question, [self = QPointer<UpdateCheck>(this)](bool yes) {
        if (self == nullptr) {
            return;
        }
        if (yes && !self->downloadPage_.isEmpty()) {
            self->hooks_.openUrl(QUrl(self->downloadPage_));
        }
        emit self->finished();
    });
}

} // namespace oculet
