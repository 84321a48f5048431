#pragma once

#include <QByteArray>
#include <QString>

// The PDF of a report, made by Qt from the report's own HTML on A4, with the site at the
// top and "Page N of M" at the foot of every page. Needs a QGuiApplication (for the fonts);
// the offscreen platform will do.
namespace reportpdf {

// The PDF's bytes; empty when Qt could not paint it.
QByteArray render(const QString& html, const QString& header);

} // namespace reportpdf
