// A configuration whose three channels each hold a full text waveform (262144
// lines), written to a temporary folder, for the benchmarks.
#pragma once

#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <string>

#include "ConfigFile.h"
#include "SettingRanges.h"
#include "WaveParse.h"

struct ThreeFullWaves {
    QTemporaryDir dir;
    std::string ini;
    TCardInfo card;
    ThreeFullWaves() {
        InitCardInfoRecord(card); // the program's own defaults, which a card accepts
        for (int c = 1; c <= kChannelCount; ++c) {
            std::string text;
            for (int i = 0; i < WaveMemorySize; ++i) {
                char line[32];
                text.append(line, std::snprintf(line, sizeof line, "%.4f\r\n",
                                                (i * (37 + c)) % 10000 / 100.0));
            }
            const std::string path =
                QDir(dir.path()).filePath(QString("ch%1.txt").arg(c)).toStdString();
            FILE* f = std::fopen(path.c_str(), "wb");
            std::fwrite(text.data(), 1, text.size(), f);
            std::fclose(f);
            TWaveSettings& w = card.Channel[c].Wave;
            w.ArbitraryFlag = true;
            w.Arb.ArbFile = path;
            w.Arb.TextFlag = true;
            w.Arb.WaveLength = WaveMemorySize;
        }
        ini = QDir(dir.path()).filePath("three.ini").toStdString();
        SaveConfiguration(card, ini);
    }
};
