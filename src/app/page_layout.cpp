#include "app/page_layout.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>

namespace pagelayout {

namespace {
// Gives the sheets their height once they are shown, when the style has sized every control.
class SheetsHeight : public QObject {
public:
    SheetsHeight(QTabWidget* pages, QSplitter* splitter)
        : QObject(pages), m_pages(pages), m_splitter(splitter) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            m_splitter->setSizes({sheetsHeight(m_pages), 1});
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QTabWidget* m_pages;
    QSplitter* m_splitter;
};

void fitGrid(QTableView* view) {
    const QHeaderView* columns = view->horizontalHeader();
    const QHeaderView* rows = view->verticalHeader();
    // Room for the vertical scroll bar always: a table that grows must not hide a column.
    const int frame = 2 * view->frameWidth();
    const int scrollBar = view->verticalScrollBar()->sizeHint().width();
    // The row numbers get room for three digits from the start, so rows coming in move nothing.
    const int numbers = rows->isHidden()
                            ? 0
                            : qMax(rows->sizeHint().width(),
                                   rows->fontMetrics().horizontalAdvance(QStringLiteral("000")));
    const int width = numbers + columns->length();
    const int height = columns->sizeHint().height() + kRowsShown * rows->defaultSectionSize();
    view->setMinimumSize(width + frame + scrollBar,
                         height + frame + view->horizontalScrollBar()->sizeHint().height());
}
} // namespace

QWidget* scrollingSheet(QTabWidget* pages, const char* name) {
    auto* scroll = new QScrollArea(pages);
    scroll->setObjectName(QString::fromLatin1(name));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    // Tab goes from the tab bar straight to the sheet's first control; a control that takes
    // focus is scrolled into view.
    scroll->setFocusPolicy(Qt::NoFocus);
    auto* contents = new QWidget(scroll);
    contents->setObjectName(QString::fromLatin1(name) + QStringLiteral("Contents"));
    auto* row = new QHBoxLayout(contents);
    row->setContentsMargins(4, 4, 4, 4);
    row->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scroll->setWidget(contents);
    return scroll;
}

void fitGrids(QTabWidget* pages) {
    for (QTableView* view : pages->findChildren<QTableView*>()) {
        fitGrid(view);
        // Widths come back on every model reset; the row numbers widen as rows are added.
        const auto refit = [view] { fitGrid(view); };
        QObject::connect(view->horizontalHeader(), &QHeaderView::sectionResized, view, refit);
        QObject::connect(view->verticalHeader(), &QHeaderView::geometriesChanged, view, refit);
        if (QAbstractItemModel* model = view->model()) {
            QObject::connect(model, &QAbstractItemModel::modelReset, view, refit);
            QObject::connect(model, &QAbstractItemModel::rowsInserted, view, refit);
        }
    }
}

void keepSheetsHeight(QTabWidget* pages, QSplitter* splitter) {
    // The sheets keep their height as the window grows; the band below takes the rest.
    splitter->setStretchFactor(splitter->indexOf(pages), 0);
    pages->installEventFilter(new SheetsHeight(pages, splitter));
}

int sheetsHeight(const QTabWidget* pages) {
    int tallest = 0;
    for (int i = 0; i < pages->count(); ++i) {
        if (auto* scroll = qobject_cast<const QScrollArea*>(pages->widget(i)))
            tallest = qMax(tallest, scroll->widget()->minimumSizeHint().height());
    }
    // The tab bar and the frame around the sheets.
    return tallest + pages->tabBar()->sizeHint().height() +
           2 * pages->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 4;
}

} // namespace pagelayout
