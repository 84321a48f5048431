#pragma once

#include "records/site_settings.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTableWidget;

// "Site Details…" (and the details of a new site): name, address, technician, notes,
// whether the password is remembered, and the modules the site expects with their names
// and rooms. OK takes only settings that site.json can hold; what is wrong is said in the
// dialog. Controls: "SiteName", "SiteAddress", "SiteTechnician", "SiteNotes",
// "SiteRememberPassword", "SiteModules", "SiteAddModule", "SiteRemoveModule", "SiteOk",
// "SiteProblem".
class SiteDialog : public QDialog {
    Q_OBJECT
public:
    SiteDialog(const QString& title, const QString& folder, const SiteSettings& settings,
               QWidget* parent);

    // What the dialog holds now (the link and password as they were given).
    SiteSettings settings() const;

    void accept() override;

private:
    void addModuleRow(const ExpectedModule& module);

    SiteSettings m_settings;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_address = nullptr;
    QLineEdit* m_technician = nullptr;
    QPlainTextEdit* m_notes = nullptr;
    QCheckBox* m_remember = nullptr;
    QTableWidget* m_modules = nullptr;
    QLabel* m_problem = nullptr;
};
