#pragma once

#include <QString>
#include <QStringList>
#include <QTest>

// A long program runs as two CTest tests side by side: the second names its functions on the
// command line, the first skips them (tests/CMakeLists.txt lists them once for both).
namespace splitrun {

// In init(): `if (splitrun::runsElsewhere()) QSKIP(...)`.
inline bool runsElsewhere() {
    const QStringList elsewhere =
        qEnvironmentVariable("VELM_TEST_ELSEWHERE").split(QLatin1Char(','), Qt::SkipEmptyParts);
    return elsewhere.contains(QString::fromLatin1(QTest::currentTestFunction()));
}

} // namespace splitrun
