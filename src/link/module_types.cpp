#include "link/module_types.h"

void ModuleTypes::noteAnswered(int address, const QString& type) {
    if (!type.isEmpty())
        m_answered.insert(address, type);
}

QString ModuleTypes::typeOf(int address) const {
    // What answered on the bus outranks what the site was told to expect.
    const QString answered = m_answered.value(address);
    return answered.isEmpty() ? m_expected.value(address) : answered;
}
