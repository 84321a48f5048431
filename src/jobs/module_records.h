#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What the record database holds for one module, read from the file without touching the
// window's tables (their cursors, sorts and filters stay as they are) and without writing.
//
// "Scene Records" and "IR Records" name the module in Module_Addr, "Bind Records" in
// Input_Addr; the monitor bindings belong to the bus switch (address 0xFF). The timer and
// event records name no module: they are taken only when asked for (`withTimers`), as the
// records of the module named.
//
// Each record also says what of it its request could not carry (`unfit`): a value outside
// what its column may hold (records_values), an empty number. Such a record is neither
// written nor taken as agreeing with the module.
struct ModuleRecords {
    static constexpr int kBusSwitch = 0xFF;

    struct Scene {
        int sceneNo = 0;
        QString name;
        QStringList channels; // CH1..CH8 texts
        QString unfit = {};   // "Scene_No 300 does not fit (0..255)"; empty when it fits
    };
    struct Binding {
        int channel = 1; // Input_Channel, 1-based
        QString mode;
        int delay = 0;
        int outputAddr = 0;
        int outputChannel = 0;
        QString action;
        int parameter = 0;
        QString unfit = {};
    };
    struct Timer {
        int timerNo = 1;
        QString time;
        QString mode;
        QString unfit = {};
    };
    struct Event {
        int timerNo = 1;
        int eventNo = 1;
        int address = 0;
        int channel = 0;
        int parameter = 0;
        QString action;
        QString unfit = {};
    };
    struct MonitorSlot {
        int order = 0;
        int roomNo = 1;
        int deviceNo = 1;
        int address = 0; // 0: not bound
        int channel = 0;
        QString unfit = {};
    };

    struct IrCode {
        int irNo = 0;
        QString name;
    };

    int module = 0;
    bool withTimers = false;
    QList<Scene> scenes;
    QList<Binding> bindings;
    QList<Timer> timers;
    QList<Event> events;
    QList<MonitorSlot> monitor;
    QList<IrCode> irCodes; // learned IR codes recorded for the module, in the table's order

    bool isBusSwitch() const { return module == kBusSwitch; }
    // Throws RecordError when the file or one of its tables cannot be read.
    static ModuleRecords load(const QString& databaseFile, int module, bool withTimers);
};
