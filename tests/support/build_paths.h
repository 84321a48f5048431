#pragma once

#include <QString>

// Where this build keeps its programs and where the sources are. Only build_paths.cpp is
// compiled with them, so that every test file compiles to the same bytes in any clone and
// the compiler cache serves a fresh checkout.
namespace buildpaths {

QString bin(const QString& program);       // a program of this build
QString build(const QString& relative = {}); // the build folder, or a file in it
QString source(const QString& relative = {});
QString cmake();
QString cpack();

} // namespace buildpaths
