#include "app/processing_dialog.h"

#include "widgets/form_builder.h"
#include "widgets/screen_fit.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

TForm2::TForm2(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QString());
    // The caption stays empty, but the title bar names the tool as every other box does
    // (an empty caption would show the program's file name, "velm").
    create();
    windowHandle()->setTitle(QStringLiteral("VELM"));
    setFixedSize(337, 139);
    move(647, 265);

    auto* label = form::label(this, QStringLiteral("Label1"), QStringLiteral("Processing..."));
    QFont font = label->font();
    font.setPixelSize(16);
    font.setBold(true);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: red;"));
    label->setAlignment(Qt::AlignCenter);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setAlignment(Qt::AlignCenter);
    auto* cancel = form::button(this, QStringLiteral("Button1"), QStringLiteral("Cancel"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_progress);
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
    connect(cancel, &QPushButton::clicked, this, &TForm2::Button1Click);
    setProgress(0, 0);
}

void TForm2::sequenceStarted() {
    show();
    // Its place is kept for a large screen: on a small one it comes in from the edge.
    screenfit::keepOnScreen(this);
}

void TForm2::sequenceEnded() {
    hide();
    setProgress(0, 0);
}

void TForm2::setProgress(int done, int total) {
    if (total <= 0) {
        m_progress->setRange(0, 1);
        m_progress->setValue(0);
        m_progress->setFormat(QString());
        return;
    }
    done = qBound(0, done, total);
    m_progress->setRange(0, total);
    m_progress->setValue(done);
    m_progress->setFormat(QStringLiteral("request %1 of %2").arg(done).arg(total));
}

void TForm2::closeEvent(QCloseEvent* event) {
    // The window goes either way (the program may be ending); a sequence still showing it
    // ends as with Cancel, counters and flags reset.
    if (isVisible())
        Button1Click();
    QWidget::closeEvent(event);
}

void TForm2::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Button1Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TForm2::Button1Click() {
    emit cancelled();
}

#include "moc_processing_dialog.cpp"
