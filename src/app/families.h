#pragma once

#include <memory>

struct FamilyContext;
class Bus;
class BusSwitchFamily;
class CurtainFamily;
class EventFamily;
class InputBindingFamily;
class IrFamily;
class LightFamily;
class ModuleAdminFamily;
class MonitorBindingFamily;
class SceneFamily;
class SequenceEngine;
class TimerFamily;

// The command families of the main window, created in tab order once the window's pages,
// the link and the record tables exist. Members are destroyed in reverse order: the families
// before the sequence engine they share.
struct Families {
    Families(FamilyContext& ctx, Bus& bus);
    ~Families();

    std::unique_ptr<SequenceEngine> sequences;
    std::unique_ptr<ModuleAdminFamily> moduleAdmin;
    std::unique_ptr<BusSwitchFamily> busSwitch;
    std::unique_ptr<SceneFamily> scenes;
    std::unique_ptr<LightFamily> lights;
    std::unique_ptr<CurtainFamily> curtains;
    std::unique_ptr<IrFamily> ir;
    std::unique_ptr<InputBindingFamily> inputBindings;
    std::unique_ptr<TimerFamily> timers;
    std::unique_ptr<EventFamily> events;
    std::unique_ptr<MonitorBindingFamily> monitorBindings;
};
