#pragma once

#include <QCoreApplication>

#include <memory>

struct CliOptions;

namespace cli {
// `report`: the installation report from the records, and with --live from the modules.
void report(const CliOptions& options);
// The application object: a QGuiApplication on the offscreen platform for a PDF report (its
// fonts need one), a QCoreApplication for everything else.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv);
} // namespace cli
