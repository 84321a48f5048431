#pragma once

#include "protocol/sequence_owner.h"

#include <QWidget>

class QProgressBar;

// "Processing..." with a Cancel button, shown without being modal while a sequence runs.
// A title bar without caption text lets the technician move it off the controls it covers;
// the bar below the label shows how far the running sequence has come.
// Its visibility is the answer to "keep going": hidden (Cancel), the sequence stops.
class TForm2 : public QWidget, public SequenceOwner {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent);

    void sequenceStarted() override;
    // The next sequence starts from an empty bar, whichever of show and setProgress comes first.
    void sequenceEnded() override;
    bool keepGoing() const override { return isVisible(); }
    // "request done of total": done counts the requests sent so far, the running one included.
    void setProgress(int done, int total) override;

    QProgressBar* progressBar() const { return m_progress; }

signals:
    void cancelled(); // Button1Click

protected:
    // Closing it from the window manager is the same as Cancel: the sequence ends properly.
    void closeEvent(class QCloseEvent* event) override;
    // Esc is Cancel.
    void keyPressEvent(class QKeyEvent* event) override;

private:
    void Button1Click();

    QProgressBar* m_progress = nullptr;
};
