#include "platform/FtpClient.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QUrl>

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace oculet {
namespace {

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlHandle = std::unique_ptr<CURL, CurlDeleter>;
using CurlMulti = std::unique_ptr<CURLM, MultiDeleter>;
using CurlList = std::unique_ptr<curl_slist, SlistDeleter>;

void globalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

QString hidePassword(QString text, const QString& password) {
    if (!password.isEmpty()) {
        text.replace(password, QStringLiteral("****"));
        const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(password));
        if (encoded != password) {
            text.replace(encoded, QStringLiteral("****"));
        }
    }
    return text;
}

int onProgress(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* stop = static_cast<const FtpStop*>(data);
    return (*stop && (*stop)()) ? 1 : 0;
}

// What an upload sends, and how much of it has gone.
struct Outgoing {
    const QByteArray& contents;
    qsizetype sent = 0;
};

size_t onRead(char* buffer, size_t size, size_t count, void* data) {
    auto* outgoing = static_cast<Outgoing*>(data);
    const qsizetype n = std::min(static_cast<qsizetype>(size * count), outgoing->contents.size() - outgoing->sent);
    std::memcpy(buffer, outgoing->contents.constData() + outgoing->sent, static_cast<size_t>(n));
    outgoing->sent += n;
    return static_cast<size_t>(n);
}

long toSecondsRoundedUp(int ms) { return std::max(1L, (static_cast<long>(ms) + 999) / 1000); }

// The first certificate of the server's chain that did not verify, and why.
struct CertificateProblem {
    QString subject;
    QString reason;
};
// The verification runs inside the transfer, on the calling thread.
thread_local CertificateProblem* currentCertificateProblem = nullptr;

int onVerify(int preverifyOk, X509_STORE_CTX* store) {
    if (!preverifyOk && currentCertificateProblem != nullptr && currentCertificateProblem->subject.isEmpty()) {
        char subject[512] = {};
        if (X509* cert = X509_STORE_CTX_get_current_cert(store)) {
            X509_NAME_oneline(X509_get_subject_name(cert), subject, sizeof subject);
        }
        currentCertificateProblem->subject = QString::fromUtf8(subject);
        currentCertificateProblem->reason =
            QString::fromUtf8(X509_verify_cert_error_string(X509_STORE_CTX_get_error(store)));
    }
    return preverifyOk; // the verdict stays curl's; this only learns what to tell the user
}

CURLcode onSslContext(CURL*, void* context, void*) {
    auto* ctx = static_cast<SSL_CTX*>(context);
    SSL_CTX_set_verify(ctx, SSL_CTX_get_verify_mode(ctx), &onVerify);
    return CURLE_OK;
}

// What the SSH host key check saw.
struct HostKeyCheck {
    QString accepted;   // the fingerprint the user accepted, if any
    QString found;      // the fingerprint the server showed
    bool changed = false;
};

QString fingerprint(const curl_khkey* key) {
    const QByteArray raw = key->len == 0 ? QByteArray::fromBase64(QByteArray(key->key))
                                         : QByteArray(key->key, static_cast<qsizetype>(key->len));
    return QStringLiteral("SHA256:") +
           QString::fromLatin1(QCryptographicHash::hash(raw, QCryptographicHash::Sha256)
                                   .toBase64(QByteArray::OmitTrailingEquals));
}

int onHostKey(CURL*, const curl_khkey*, const curl_khkey* found, curl_khmatch match, void* data) {
    auto* check = static_cast<HostKeyCheck*>(data);
    check->found = fingerprint(found);
    switch (match) {
    case CURLKHMATCH_OK:
        return CURLKHSTAT_FINE;
    case CURLKHMATCH_MISMATCH:
        // Never accepted, whatever the user said before: it may be another machine.
        check->changed = true;
        return CURLKHSTAT_REJECT;
    default:
        return !check->accepted.isEmpty() && check->found == check->accepted ? CURLKHSTAT_FINE_ADD_TO_FILE
                                                                               : CURLKHSTAT_REJECT;
    }
}

QString sshFolder() { return QDir::homePath() + QStringLiteral("/.ssh"); }

// The key file SFTP offers when no password is given: the user's first default key.
QString defaultKeyFile() {
    for (const char* name : {"id_ed25519", "id_ecdsa", "id_rsa"}) {
        const QString path = sshFolder() + u'/' + QLatin1String(name);
        if (QFile::exists(path)) {
            return path;
        }
    }
    return {};
}

} // namespace

// The longest one wait for the sockets lasts before the transfer is looked at again.
constexpr int kLongestWaitMs = 100;

struct CurlFtpClient::Impl {
    // The open connection lives in the multi handle's cache, so both go together.
    CurlMulti multi;
    CurlHandle handle;
    FtpTimeouts timeouts;
    // What libcurl said of the last request.
    CURLcode lastCode = CURLE_OK;

    CURL* acquire() {
        if (!handle || !multi) {
            handle.reset(curl_easy_init());
            multi.reset(curl_multi_init());
        }
        return handle && multi ? handle.get() : nullptr;
    }

    void dropConnection() {
        handle.reset();
        multi.reset();
    }

    // curl_easy_perform waits up to a second at a time for the sockets it watches, and at some
    // steps it does not watch the one that becomes ready: while the FTP data connection is
    // being made after the EPSV reply, an upload stood still for exactly one second, one in ten
    // on loopback and more with TLS. Driving the transfer ourselves bounds each wait: short
    // right after anything happened, when the next step is due, growing by half while nothing
    // does, so a slow reply costs a handful of wake-ups and a server that hangs ten a second.
    CURLcode performInShortWaits(CURL* curl) {
        if (curl_multi_add_handle(multi.get(), curl) != CURLM_OK) {
            return CURLE_FAILED_INIT;
        }
        int running = 1;
        int wait_ms = 1;
        CURLMcode state = CURLM_OK;
        while (running > 0 && state == CURLM_OK) {
            state = curl_multi_perform(multi.get(), &running);
            int ready = 0;
            if (running > 0 && state == CURLM_OK) {
                state = curl_multi_poll(multi.get(), nullptr, 0, wait_ms, &ready);
            }
            wait_ms = ready > 0 ? 1 : std::min(wait_ms + wait_ms / 2 + 1, kLongestWaitMs);
        }
        CURLcode rc = state == CURLM_OK ? CURLE_RECV_ERROR : CURLE_OUT_OF_MEMORY;
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi.get(), &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == curl) {
                rc = message->data.result;
            }
        }
        curl_multi_remove_handle(multi.get(), curl);
        return rc;
    }

    static void setSecurity(CURL* curl, const FtpEndpoint& endpoint, HostKeyCheck& hostKey,
                            const QByteArray& knownHosts, const QByteArray& keyFile,
                            const QByteArray& caFile) {
        if (endpoint.scheme == FtpScheme::Sftp) {
            curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "sftp");
            curl_easy_setopt(curl, CURLOPT_SSH_KNOWNHOSTS, knownHosts.constData());
            curl_easy_setopt(curl, CURLOPT_SSH_KEYFUNCTION, &onHostKey);
            curl_easy_setopt(curl, CURLOPT_SSH_KEYDATA, &hostKey);
            if (endpoint.password.isEmpty()) {
                curl_easy_setopt(curl, CURLOPT_SSH_AUTH_TYPES, long(CURLSSH_AUTH_AGENT | CURLSSH_AUTH_PUBLICKEY));
                curl_easy_setopt(curl, CURLOPT_SSH_PRIVATE_KEYFILE, keyFile.isEmpty() ? nullptr : keyFile.constData());
                // Empty: the public half is derived from the private key.
                curl_easy_setopt(curl, CURLOPT_SSH_PUBLIC_KEYFILE, "");
            } else {
                curl_easy_setopt(curl, CURLOPT_SSH_AUTH_TYPES, long(CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD));
            }
            return;
        }
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "ftp");
        if (endpoint.scheme == FtpScheme::Ftps) {
            // Explicit TLS for the login and every transfer: nothing goes out in clear text.
            curl_easy_setopt(curl, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
            curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
            curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
            curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, &onSslContext);
            if (!caFile.isEmpty()) {
                curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.constData());
            }
        }
    }

    // Runs one request. `prepare` adds the options of this kind of request; `expectedUpload`
    // (when not negative) is the number of bytes the server must have accepted.
    template <class Prepare>
    FtpResult perform(const FtpEndpoint& endpoint, const QString& url, const FtpStop& stop,
                      Prepare&& prepare, curl_off_t expectedUpload = -1) {
        lastCode = CURLE_FAILED_INIT;
        FtpResult result;
        if (!endpoint.addressError.isEmpty()) {
            result.message = endpoint.addressError;
            return result;
        }
        if (url.isEmpty()) {
            result.message = QStringLiteral("The folder or file name cannot be used on the server.");
            return result;
        }
        CURL* curl = acquire();
        if (curl == nullptr) {
            result.message = QStringLiteral("The FTP client could not start.");
            return result;
        }
        // Reset forgets the options of the last request but keeps its open connection.
        curl_easy_reset(curl);
        char errors[CURL_ERROR_SIZE] = {};
        const QByteArray urlBytes = url.toUtf8();
        const QByteArray user = endpoint.username.toUtf8();
        const QByteArray password = endpoint.password.toUtf8();
        curl_easy_setopt(curl, CURLOPT_URL, urlBytes.constData());
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errors);
        curl_easy_setopt(curl, CURLOPT_TRANSFERTEXT, 0L);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connectMs));
        curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, toSecondsRoundedUp(timeouts.serverResponseMs));
        curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(timeouts.totalMs));
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &onProgress);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, const_cast<FtpStop*>(&stop));
        HostKeyCheck hostKey{endpoint.acceptedHostKey, {}, false};
        // Looked up only for the scheme that uses them: this runs four times a second.
        const bool sftp = endpoint.scheme == FtpScheme::Sftp;
        const QByteArray knownHosts = sftp ? QFile::encodeName(sshFolder() + QStringLiteral("/known_hosts")) : QByteArray();
        const QByteArray keyFile = sftp ? QFile::encodeName(defaultKeyFile()) : QByteArray();
        const QByteArray caFile = endpoint.scheme == FtpScheme::Ftps ? qgetenv("SSL_CERT_FILE") : QByteArray();
        if (sftp && !endpoint.acceptedHostKey.isEmpty()) {
            // Where the accepted key is written.
            QDir().mkpath(sshFolder());
            QFile::setPermissions(sshFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        setSecurity(curl, endpoint, hostKey, knownHosts, keyFile, caFile);
        prepare(curl);

        CertificateProblem certificate;
        currentCertificateProblem = &certificate;
        const CURLcode rc = performInShortWaits(curl);
        lastCode = rc;
        currentCertificateProblem = nullptr;
        long reply = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply);
        result.replyCode = reply;
        if (rc == CURLE_OK && expectedUpload >= 0) {
            curl_off_t sent = 0;
            curl_easy_getinfo(curl, CURLINFO_SIZE_UPLOAD_T, &sent);
            if (sent != expectedUpload) {
                result.message = QStringLiteral("Only %1 of %2 bytes reached the server.").arg(sent).arg(expectedUpload);
                dropConnection();
                return result;
            }
        }
        if (rc != CURLE_OK) {
            result.cancelled = rc == CURLE_ABORTED_BY_CALLBACK;
            result.refused = !result.cancelled && (sftp ? rc == CURLE_QUOTE_ERROR : reply >= 500 && reply < 600);
            result.failure = rc == CURLE_LOGIN_DENIED                 ? FtpFailure::Login
                             : rc == CURLE_PEER_FAILED_VERIFICATION   ? FtpFailure::Trust
                             : rc == CURLE_REMOTE_ACCESS_DENIED ||
                                       (sftp && rc == CURLE_REMOTE_FILE_NOT_FOUND && expectedUpload >= 0)
                                 ? FtpFailure::Folder
                                 : FtpFailure::Other;
            const QString detail = errors[0] != 0 ? QString::fromUtf8(errors) : QString::fromUtf8(curl_easy_strerror(rc));
            result.message = hidePassword(detail.trimmed(), endpoint.password);
            if (hostKey.changed) {
                result.message = QStringLiteral("host key changed: the server now shows %1, which is not the key "
                                                "known_hosts holds for it; refused.").arg(hostKey.found);
            } else if (sftp && result.failure == FtpFailure::Trust && !hostKey.found.isEmpty()) {
                result.unknownHostKey = hostKey.found;
                result.message = QStringLiteral("unknown host key %1: accept it in the publishing panel if it is your "
                                                "server's.").arg(hostKey.found);
            } else if (!certificate.subject.isEmpty()) {
                result.message = QStringLiteral("certificate not trusted: %1, %2").arg(certificate.subject, certificate.reason);
            } else if (result.failure == FtpFailure::Trust) {
                // The chain verified but something else did not, such as the name on it.
                result.message = QStringLiteral("certificate not trusted: ") + result.message;
            }
            // Whatever state the server and the connection are in now, the next request should
            // not inherit it.
            dropConnection();
            return result;
        }
        result.ok = true;
        result.failure = FtpFailure::None;
        return result;
    }

    // `afterwards`: FTP commands sent on the same connection once the transfer is confirmed.
    FtpResult upload(const FtpEndpoint& endpoint, const QByteArray& contents, const QString& remoteDir,
                     const QString& remoteName, const FtpStop& stop, curl_slist* afterwards) {
        Outgoing outgoing{contents};
        const curl_off_t size = contents.size();
        return perform(
            endpoint, ftpUrl(endpoint, remoteDir, remoteName), stop,
            [&](CURL* curl) {
                curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
                curl_easy_setopt(curl, CURLOPT_READFUNCTION, &onRead);
                curl_easy_setopt(curl, CURLOPT_READDATA, &outgoing);
                curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, size);
                curl_easy_setopt(curl, CURLOPT_POSTQUOTE, afterwards);
            },
            size);
    }

    // Null when memory ran out.
    static CurlList commandList(const QStringList& commands) {
        CurlList list;
        for (const QString& command : commands) {
            curl_slist* grown = curl_slist_append(list.get(), command.toUtf8().constData());
            if (grown == nullptr) {
                return {};
            }
            list.release();
            list.reset(grown);
        }
        return list;
    }

    FtpResult quote(const FtpEndpoint& endpoint, const QString& remoteDir, const QStringList& commands,
                    const FtpStop& stop) {
        const CurlList list = commandList(commands);
        if (!list) {
            FtpResult result;
            result.message = QStringLiteral("Out of memory.");
            return result;
        }
        // No transfer: log in, change to the folder, then send the commands there. SFTP has no
        // current folder; its commands carry whole paths.
        const bool sftp = endpoint.scheme == FtpScheme::Sftp;
        return perform(endpoint, ftpUrl(endpoint, remoteDir, QString()), stop, [&](CURL* curl) {
            curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
            curl_easy_setopt(curl, sftp ? CURLOPT_QUOTE : CURLOPT_POSTQUOTE, list.get());
        });
    }
};

CurlFtpClient::CurlFtpClient() : impl_(std::make_unique<Impl>()) { globalInit(); }
CurlFtpClient::~CurlFtpClient() = default;

FtpResult FtpClient::uploadAndRename(const FtpEndpoint& endpoint, const QByteArray& contents,
                                     const QString& remoteDir, const QString& uploadName,
                                     const QString& finalName, const FtpStop& stop, bool& uploaded) {
    const FtpResult sent = upload(endpoint, contents, remoteDir, uploadName, stop);
    uploaded = sent.ok;
    return sent.ok ? rename(endpoint, remoteDir, uploadName, finalName, stop) : sent;
}

bool CurlFtpClient::available() const { return impl_->acquire() != nullptr; }

void CurlFtpClient::setTimeouts(const FtpTimeouts& timeouts) { impl_->timeouts = timeouts; }

FtpResult CurlFtpClient::checkLogin(const FtpEndpoint& endpoint, const FtpStop& stop) {
    return impl_->perform(endpoint, ftpUrl(endpoint, QString(), QString()), stop,
                          [](CURL* curl) { curl_easy_setopt(curl, CURLOPT_NOBODY, 1L); });
}

FtpResult CurlFtpClient::upload(const FtpEndpoint& endpoint, const QByteArray& contents,
                                const QString& remoteDir, const QString& remoteName,
                                const FtpStop& stop) {
    return impl_->upload(endpoint, contents, remoteDir, remoteName, stop, nullptr);
}

FtpResult CurlFtpClient::uploadAndRename(const FtpEndpoint& endpoint, const QByteArray& contents,
                                         const QString& remoteDir, const QString& uploadName,
                                         const QString& finalName, const FtpStop& stop, bool& uploaded) {
    uploaded = false;
    if (endpoint.scheme == FtpScheme::Sftp || !usableRemoteName(uploadName) || !usableRemoteName(finalName)) {
        return FtpClient::uploadAndRename(endpoint, contents, remoteDir, uploadName, finalName, stop, uploaded);
    }
    const CurlList rename = Impl::commandList({QStringLiteral("RNFR ") + uploadName, QStringLiteral("RNTO ") + finalName});
    if (!rename) {
        FtpResult result;
        result.message = QStringLiteral("Out of memory.");
        return result;
    }
    const FtpResult result = impl_->upload(endpoint, contents, remoteDir, uploadName, stop, rename.get());
    // libcurl sends the commands after a transfer only once the server has confirmed every byte
    // of it, so a failed command means the upload itself went through.
    uploaded = result.ok || impl_->lastCode == CURLE_QUOTE_ERROR;
    return result;
}

FtpResult CurlFtpClient::rename(const FtpEndpoint& endpoint, const QString& remoteDir,
                                const QString& from, const QString& to, const FtpStop& stop) {
    if (!usableRemoteName(from) || !usableRemoteName(to)) {
        FtpResult result;
        result.message = QStringLiteral("The file name cannot be used on the server.");
        return result;
    }
    if (endpoint.scheme == FtpScheme::Sftp) {
        return impl_->quote(endpoint, remoteDir,
                            {QStringLiteral("rename ") + sftpPath(remoteDir, from) + u' ' + sftpPath(remoteDir, to)},
                            stop);
    }
    return impl_->quote(endpoint, remoteDir,
                        {QStringLiteral("RNFR ") + from, QStringLiteral("RNTO ") + to}, stop);
}

FtpResult CurlFtpClient::remove(const FtpEndpoint& endpoint, const QString& remoteDir,
                                const QString& name, const FtpStop& stop) {
    if (!usableRemoteName(name)) {
        FtpResult result;
        result.message = QStringLiteral("The file name cannot be used on the server.");
        return result;
    }
    const QString command = endpoint.scheme == FtpScheme::Sftp ? QStringLiteral("rm ") + sftpPath(remoteDir, name)
                                                               : QStringLiteral("DELE ") + name;
    return impl_->quote(endpoint, remoteDir, {command}, stop);
}

void CurlFtpClient::disconnect() { impl_->dropConnection(); }

} // namespace oculet
