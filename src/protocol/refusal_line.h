#pragma once

#include <QString>

struct Reply;

// What a module's error reply says, in one line for the window's state area: "Module 5
// refused Set Clock (80 30): Command Error!". Empty for a success or a binding test reply.
QString refusalLine(const Reply& reply);
