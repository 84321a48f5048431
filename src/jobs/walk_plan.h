#pragma once

#include "jobs/module_records.h"
#include "link/request_layout.h"

#include <QList>
#include <QString>

#include <optional>

// One output the walk test switches while someone watches the load: a light or curtain
// channel of a module, an IR code a module sends, or a scene called on the whole bus.
struct WalkOutput {
    enum class Kind { Light, Curtain, Ir, Scene };
    static constexpr int kWholeBus = 0xFF;

    Kind kind = Kind::Light;
    int module = 0; // kWholeBus for a scene
    int number = 0; // channel (1-based), IR code or scene number
    QString name;   // the IR code's or the scene's name in the records

    // "light", "curtain", "ir", "scene": for the results file.
    QString kindKey() const;
    static std::optional<Kind> kindOf(const QString& key);
    // "channel 3", "IR code 17 (TV on)", "scene 2 (Night)".
    QString text() const;
    // "Light 1, channel 3", "IR 4, IR code 17 (TV on)", "Scene 2 (Night)".
    QString title() const;
    // What the technician should know while watching it; empty for most.
    QString hint() const;
    // The request that switches it on, opens it, sends it or calls it: the tab's own.
    Request act() const;
    // What puts it back once answered: a light off, a curtain stopped and closed again.
    QList<Request> back() const;
    // What Stop sends while it is on: a light off, a curtain stopped.
    QList<Request> stop() const;
    // A light on or a curtain moving stays so until it is put back.
    bool staysOn() const { return kind == Kind::Light || kind == Kind::Curtain; }
    bool sameAs(const WalkOutput& other) const {
        return kind == other.kind && module == other.module && number == other.number;
    }
};

// A module to walk and its type code (empty: not known).
struct WalkModule {
    int address = 0;
    QString type;
};

namespace walkplan {

// The outputs in the order they are walked: module by module as given, the channels of a
// light or curtain module (as many as its type code says) and the IR codes its records hold;
// then each scene number the records of these modules hold, once, on the whole bus.
QList<WalkOutput> outputs(const QList<WalkModule>& modules, const QList<ModuleRecords>& records);

} // namespace walkplan
