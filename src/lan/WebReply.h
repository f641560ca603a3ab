// The web front panel's answers: JSON, and a failure said in words.
#pragma once

#include <QJsonDocument>
#include <QJsonObject>

#include "LxiWebServer.h"

inline WebApp::Reply Json(unsigned status, const QJsonObject& body) {
    WebApp::Reply r;
    r.status = status;
    r.body = QJsonDocument(body).toJson(QJsonDocument::Compact);
    return r;
}

inline WebApp::Reply Failure(unsigned status, const QString& why) {
    return Json(status, {{"error", why}});
}
