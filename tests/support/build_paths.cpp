#include "support/build_paths.h"

namespace buildpaths {
namespace {
QString below(const char* folder, const QString& relative) {
    const QString dir = QString::fromUtf8(folder);
    return relative.isEmpty() ? dir : dir + QLatin1Char('/') + relative;
}
} // namespace

QString bin(const QString& program) {
    return below(VELM_BIN_DIR, program);
}
QString build(const QString& relative) {
    return below(VELM_BUILD_DIR, relative);
}
QString source(const QString& relative) {
    return below(VELM_SOURCE_DIR, relative);
}
QString cmake() {
    return QStringLiteral(VELM_CMAKE_COMMAND);
}
QString cpack() {
    return QStringLiteral(VELM_CPACK_COMMAND);
}

} // namespace buildpaths
