#pragma once

#include <QString>

class PromptService;
class RecordStore;

// File › New Record File…: the one way the window makes a record file. It asks first, makes
// the file with the six tables and the monitor slots as velm-initdb does, and opens the six
// tables from it. A file that exists is never touched.
namespace newrecordfile {

// What the start-up's boxes and the link state area add when the record file is missing.
QString hint();
// True when the file was made and its tables opened.
bool create(const QString& file, RecordStore& records, PromptService& prompts);

} // namespace newrecordfile
