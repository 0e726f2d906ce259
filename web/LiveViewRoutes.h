#pragma once

#include "platform/HttpServer.h"
#include "web/LiveFrames.h"

#include <QByteArray>
#include <QString>

namespace oculet {

// What the live view's answers depend on at the moment of a request.
struct LiveViewState {
    QString password;   // empty: no password asked
    QString title;      // the station's title on the page
    QString publishing; // where publishing stands, in words
    int viewers = 0;
    double framesPerSecond = 0.0;
    LiveFrame frame;
};

inline constexpr char kStreamBoundary[] = "oculetframe";

// The answer to one request. Only GET and HEAD of four paths are served; the stream's body
// comes from the server (HttpReply::stream) as streamPart()s of the newest frames.
HttpReply answerLiveViewRequest(const HttpRequest& request, const LiveViewState& state);

// One part of the picture stream: boundary, headers with the length, the JPEG.
QByteArray streamPart(const QByteArray& jpeg);

// "Authorization: Basic ..." carries `password` (any user name). Compared in a time that does
// not depend on where the two differ.
bool passwordAccepted(const QByteArray& authorization, const QString& password);

// An HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT"); an invalid one for text that is not a date.
QByteArray httpDate(const QDateTime& time);
QDateTime parseHttpDate(const QByteArray& text);

QByteArray liveViewPage(const QString& title, bool passwordSet);
QByteArray liveViewStatusJson(const LiveViewState& state);

} // namespace oculet
