#pragma once

#include "link/request_layout.h"

#include <QString>

struct Reply;

// Requests of module administration (command 0), numbered in the short layout.
namespace moduleadmin {

// Read and Set go to every module (0xFF); only the module in addressing mode answers.
Request readAddress();
Request setAddress(int newAddress);
Request test(int module);
Request readType(int module);
Request readVersion(int module);
Request restore(int module);

// Reply decoding, as the fields show it.
// Type code: reply bytes 7 and 8 as four upper-case hexadecimal digits.
QString typeText(const Reply& reply);
// Version: the data bytes (reply byte 2 - 9 of them from reply byte 7) as 8-bit characters.
QString versionText(const Reply& reply);

} // namespace moduleadmin
