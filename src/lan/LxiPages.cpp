// The pages a client reads: the card's facts for them, and the welcome
// page with its links.
#include <QCoreApplication>
#include <QHostInfo>

#include "CardCommands.h"
#include "ChannelStatus.h"
#include "LxiWebServer.h"

LxiPage LxiPageOf(const Card& card, const QStringList& addresses, const QStringList& resources) {
    const scpi::Identity id = scpi::IdentityOf(card);
    LxiPage page;
    page.manufacturer = QString::fromStdString(id.maker);
    page.model = QString::fromStdString(id.model);
    page.serial = QString::fromStdString(id.serial);
    page.firmware = QString::fromStdString(id.version);
    page.description = QString("PXI function generator card, %1 channels, served by %2")
                           .arg(card.channels())
                           .arg(QCoreApplication::applicationName());
    page.hostName = QHostInfo::localHostName();
    page.addresses = addresses;
    page.resources = resources;
    for (int c = 1; c <= card.channels(); ++c)
        page.status +=
            QString::fromStdString(
                DescribeChannel(c,
                                card.session() ? ChannelPresence::Present : ChannelPresence::NoCard,
                                card.accepted().Channel[c])
                    .line) +
            "\n";
    return page;
}

// Several cards served from this process: a link to each one's front panel.
static QString PanelList(const QList<LxiWebServer::PanelLink>& panels) {
    if (panels.size() < 2)
        return {};
    QString list = "<h2>Front panels served here</h2>\n<ul>\n";
    for (const auto& p : panels)
        list += "<li><a href=\"" + p.url.toHtmlEscaped() + "\">" + p.name.toHtmlEscaped() + "</a>" +
                (p.here ? " (this one)" : "") + "</li>\n";
    return list + "</ul>\n";
}

QByteArray LxiWebServer::WelcomeHtml(const LxiPage& page, const QList<PanelLink>& panels) {
    const auto e = [](const QString& text) { return text.toHtmlEscaped(); };
    QString rows;
    for (const auto& [name, value] :
         {std::pair{"Model", page.model}, std::pair{"Card id", page.serial},
          std::pair{"Firmware", page.firmware}, std::pair{"Host name", page.hostName},
          std::pair{"Addresses", page.addresses.join(", ")}})
        rows += QString("<tr><th>%1</th><td>%2</td></tr>\n").arg(name, e(value));
    QString resources;
    for (const QString& r : page.resources)
        resources += "<li><input readonly size=\"48\" value=\"" + e(r) + "\"></li>\n";
    QString security;
    if (!page.security.isEmpty()) {
        security = "<h2>Security</h2>\n<ul>\n";
        for (const QString& line : page.security)
            security += "<li>" + e(line) + "</li>\n";
        security += "</ul>\n";
    }
    const QString html =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<title>" +
        e(page.manufacturer + " " + page.model) + " " + e(page.serial) +
        "</title>"
        "<style>body{font-family:sans-serif;margin:2em}th{text-align:left;padding-right:1em}"
        "pre{background:#f4f4f4;padding:.5em;white-space:pre-wrap}</style></head><body>\n"
        "<h1>" +
        e(page.manufacturer + " " + page.model) + "</h1>\n<p>" + e(page.description) +
        "</p>\n<table>\n" + rows +
        "</table>\n"
        "<h2>VISA resource strings</h2>\n<ul>\n" +
        resources +
        "</ul>\n"
        "<h2>Channels</h2>\n<pre>" +
        e(page.status) + "</pre>\n" + security + PanelList(panels) +
        "<p><a href=\"/panel\">Front panel</a> · <a href=\"/lxi/identification\">LXI "
        "identification</a></p>\n</body></html>\n";
    return html.toUtf8();
}
