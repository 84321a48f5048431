#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class RecordTable;

// What a confirmed scene Set and a confirmed Clear All Scenes do to "Scene Records". The
// window and the command line write the same rows.
namespace scene {

// One scene as its row holds it: all eight channel texts, however few channels were sent.
struct Row {
    int sceneNo = 0;
    int module = 1;
    QString name;
    QStringList channels; // CH1..CH8
};

// The eight CH texts of a light/curtain scene from CH item indices; channels not given hold
// the list's first item, "Off/Close", as the CH lists do by default.
QStringList targetTexts(const QList<int>& itemIndices);
// The eight CH texts of an IR scene; slots not given hold 255, the IR slots' default.
QStringList irTexts(const QList<int>& irNumbers);

// The row of the scene number and module, overwritten, or a new one.
void storeRow(RecordTable& scenes, const Row& row);
// Every row of the module goes; returns how many.
int clearModuleRows(RecordTable& scenes, int module);

} // namespace scene
