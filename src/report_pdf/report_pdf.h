#pragma once

#include <QByteArray>
#include <QString>

// The PDF of a report, made by Qt from the report's own HTML on A4, with the site at the
// top and "Page N of M" at the foot of every page. Needs a QGuiApplication (for the fonts);
// the offscreen platform will do.
namespace reportpdf {

// Writes the PDF whole, or nothing at all: false, with the reason in `error`, when the file
// cannot be written or the document would be longer than a PDF report can hold
// (pagelimit), which is known before any of it is made.
bool write(const QString& html, const QString& header, const QString& file, QString* error);

} // namespace reportpdf
