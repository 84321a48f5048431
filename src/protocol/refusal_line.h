#pragma once

#include <QString>

struct Reply;

// What a module's error reply says, in one line for the window's state area: "Module 5
// refused Set Clock (80 30): Command Error!", with the module's type code when it is known
// ("Module 5 (type 040E) refused ..."). Empty for a success or a binding test reply.
QString refusalLine(const Reply& reply, const QString& type = QString());
