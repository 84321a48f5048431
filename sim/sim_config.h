#pragma once

#include "sim/sim_types.h"

#include <QList>
#include <QString>

// What the simulated installation is made of, and its timings.
struct SimConfig {
    struct ModuleEntry {
        ModuleKind kind;
        quint8 address;
    };
    QList<ModuleEntry> modules;
    int bench = -1; // module answering the address read; -1: the first light module
    // Further modules left in addressing mode by mistake: they answer the address read too.
    QList<int> alsoAddressing;
    // Channels that do not switch: {address, channel 1-based}.
    QList<QPair<int, int>> stuck;
    QString password = QStringLiteral("418273");
    quint16 subnet = 1;
    QByteArray factorySettings; // 28-byte gateway settings block; empty: built from subnet
    int irLearnMs = 3000;       // 0: learning ends only on the learn-done control command
    int irDeleteAllMs = 2000;
    int restoreMs = 5000;

    static QList<ModuleEntry> defaultModules() {
        return {{ModuleKind::Light, 1}, {ModuleKind::Light, 2}, {ModuleKind::Curtain, 3},
                {ModuleKind::Ir, 4},    {ModuleKind::Input, 5}, {ModuleKind::Timer, 6}};
    }
};
