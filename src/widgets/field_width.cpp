#include "widgets/field_width.h"

#include <QFontMetrics>
#include <QLineEdit>

namespace form {

void fitWidth(QLineEdit* field, const QString& widest) {
    // A line edit's own hint is room for 17 "x" plus its frame and margins: keep the frame and
    // margins, size the text part by the widest value and a little room for the cursor.
    const QFontMetrics metrics = field->fontMetrics();
    const int frame = field->sizeHint().width() - metrics.horizontalAdvance(QLatin1Char('x')) * 17;
    field->setFixedWidth(frame + metrics.horizontalAdvance(widest) + metrics.averageCharWidth());
}

void keepWidth(QWidget* field) {
    field->setSizePolicy(QSizePolicy::Fixed, field->sizePolicy().verticalPolicy());
}

} // namespace form
