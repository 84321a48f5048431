#include "cli/cli_expect.h"

#include "cli/cli_link.h"
#include "cli/cli_output.h"
#include "cli/cli_words.h"
#include "protocol/module_admin_requests.h"
#include "protocol/module_kinds.h"

namespace cli {

CommandArgs expectArgs(const Words& w) {
    CommandArgs c;
    c.verb = w.verb({QStringLiteral("type")});
    c.module = w.number(2, QStringLiteral("MODULE"), 1, 32);
    c.text = modulekind::expectation(w.word(3, QStringLiteral("TYPE")));
    if (c.text.isEmpty())
        refuse(QStringLiteral("expect type: TYPE is a type code of four hexadecimal digits or "
                              "one of %1, not '%2'")
                   .arg(modulekind::names().join(QStringLiteral(", ")), w.value(3)));
    w.end(4);
    return c;
}

void expect(CliLink& link) {
    const CommandArgs& a = link.options().given;
    const CliLink::Answer r =
        link.require(moduleadmin::readType(a.module), QStringLiteral("type read"));
    const QString type = moduleadmin::typeText(r.reply());
    if (!modulekind::fits(a.text, type))
        throw CliFailure(QStringLiteral("module %1 is of type %2 (%3), not %4")
                             .arg(a.module)
                             .arg(type, modulekind::name(modulekind::ofType(type)), a.text)
                             .toStdString());
    CliOutput::printObject(link.options().json, {QStringLiteral("module"), QStringLiteral("type")},
                           {a.module, type});
}

} // namespace cli
