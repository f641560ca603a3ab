// Configuration files from a client: MMEMory:LOAD:STATe "<name>" loads one
// and sends it as --apply does, MMEMory:STORe:STATe "<name>" saves the
// card's settings, only for names inside one folder, waveform files
// included. What a client reads never holds the server's own paths.
#pragma once

#include <QString>
#include <functional>

#include "Card.h"
#include "ScpiSession.h"

namespace scpi {

// `folder`: the folder the names are in; empty when none was given (every
// MMEMory command then answers a settings conflict saying so).
void AddFileCommands(CommandSet& commands, std::function<Card*()> card,
                     std::function<QString()> folder);

// The file `name` names inside `folder`, or the error and its detail: a name
// with a "/", "\", a control character, "." or "..", or a link leading out
// of the folder, is a file name error.
struct FileInFolder {
    QString path;
    Error error = NoError;
    std::string detail;
};
FileInFolder ResolveInFolder(const QString& folder, const std::string& name);

// The waveform file a configuration in `folder` names: a relative name
// inside the folder (subfolders allowed), an absolute one only where it
// lies inside it; the error otherwise (not found, or outside). The detail
// names the file as the folder sees it, never by the server's own path.
FileInFolder ResolveWaveInFolder(const QString& folder, const std::string& name);

} // namespace scpi
