// The web front panel's arbitrary waveforms: a file uploaded for a channel,
// drawn before it is loaded and loaded by the DATA command (the same checks
// and refusals as a SCPI client's), and a channel's samples downloaded.
#include <QJsonArray>
#include <algorithm>

#include "OperationLog.h"
#include "ScpiDevice.h"
#include "ScpiParser.h"
#include "ScpiSession.h"
#include "WaveFile.h"
#include "WaveSamples.h"
#include "WaveUpload.h"
#include "WebPanel.h"
#include "WebReply.h"

namespace {

// The upload's arguments: ?format=text|csv|wav&pick=N&length=N&scale=normalise|percent.
QString OptionsOf(const QMap<QString, QString>& query, UploadOptions& options) {
    if (!UploadFormatNamed(query.value("format", "text").toStdString(), options.format))
        return "The format must be text, csv or wav, not \"" + query.value("format") + "\".";
    bool number = true;
    options.pick = query.value("pick", "1").toInt(&number);
    if (!number || options.pick < 1)
        return "The column or channel must be a whole number from 1.";
    options.length = query.value("length", "0").toInt(&number);
    if (!number)
        return "The length must be a power of two from 2 to 262144.";
    const QString scale = query.value("scale", "percent");
    if (scale != "percent" && scale != "normalise")
        return "The scale must be percent or normalise, not \"" + scale + "\".";
    options.normalise = scale == "normalise";
    return {};
}

// At most 2048 points to draw: every sample, or each stretch's lowest and highest.
QJsonArray PointsOf(const std::vector<double>& samples) {
    constexpr size_t kStretches = 1024;
    QJsonArray points;
    if (samples.size() <= 2 * kStretches) {
        for (double v : samples)
            points.append(v);
        return points;
    }
    for (size_t k = 0; k < kStretches; ++k) {
        const auto from = samples.begin() + std::ptrdiff_t(k * samples.size() / kStretches);
        const auto to = samples.begin() + std::ptrdiff_t((k + 1) * samples.size() / kStretches);
        const auto [low, high] = std::minmax_element(from, to);
        points.append(low < high ? *low : *high);
        points.append(low < high ? *high : *low);
    }
    return points;
}

} // namespace

WebApp::Reply WebPanel::loadWave(const Request& request, UserSession& session, int channel,
                                 bool preview) {
    if (!card_ || channel > card_->channels())
        return Failure(400, "This card has no channel " + QString::number(channel) + ".");
    UploadOptions options;
    if (const QString bad = OptionsOf(request.query, options); !bad.isEmpty())
        return Failure(400, bad);
    const UploadedWave wave = ReadUploadedWave(
        std::string_view(request.body.constData(), size_t(request.body.size())), options);
    if (!wave.error.empty())
        return Failure(400, QString::fromStdString(wave.error));
    const QString source = QString::fromStdString(wave.source);
    const auto [low, high] = std::minmax_element(wave.samples.begin(), wave.samples.end());
    QJsonObject answer{{"ok", true},
                       {"samples", qint64(wave.samples.size())},
                       {"source", source},
                       {"minimum", *low},
                       {"maximum", *high}};
    if (preview) {
        answer["points"] = PointsOf(wave.samples);
        return Json(200, answer);
    }
    AddCardNote(device_.NameOf(*session.link) + " loads channel " + std::to_string(channel) +
                    " from the web front panel: SOURce" + std::to_string(channel) + ":DATA, " +
                    std::to_string(wave.samples.size()) + " samples (" + wave.source + ")",
                card_->link().cardTag());
    device_.run(*session.link, "SOURce" + std::to_string(channel) + ":DATA " +
                                   scpi::DefiniteBlock(scpi::SampleBytes(
                                       wave.samples, wave.samples.size(), false)));
    const QStringList errors = errorsOf(session);
    answer["ok"] = errors.isEmpty();
    answer["errors"] = QJsonArray::fromStringList(errors);
    return Json(errors.isEmpty() ? 200 : 409, answer);
}

// The channel's samples as a text waveform file (percent, a sample a line).
WebApp::Reply WebPanel::samples(int channel) const {
    if (!card_ || channel > card_->channels())
        return Failure(404, "This card has no channel " + QString::number(channel) + ".");
    const TArbWave& wave = card_->record().Channel[channel].Wave.Arb;
    const auto count = std::min<size_t>(wave.Data.size(), size_t(std::max(wave.WaveLength, 0)));
    Reply r;
    r.type = "text/plain; charset=utf-8";
    r.body = QByteArray::fromStdString(
        WaveFileText(wave.Data, 0, count, "channel" + std::to_string(channel) + ".txt"));
    r.headers.append({"Content-Disposition",
                      "attachment; filename=\"channel" + QByteArray::number(channel) + ".txt\""});
    return r;
}
