#pragma once

class QTextDocument;

// Tables that a page break would cut in two although they fit on one page are moved to the
// next page whole, with the headings and notes that lead into them, so that no page ends in
// a table's first rows and no page starts with a table that has lost its heading. A table
// longer than a page still breaks; Qt repeats its header row on every page.
namespace tablebreaks {

// Lays the document out on pages of `pageHeight` (its page size must be set) and starts a
// new page before each table group that would otherwise be cut. Returns how many it moved.
int keepTablesTogether(QTextDocument& doc, qreal pageHeight);

} // namespace tablebreaks
