#pragma once

#include "link/processing_view.h"

#include <QWidget>

// "Processing..." with a Cancel button, shown without being modal while a sequence runs.
class TForm2 : public QWidget, public ProcessingView {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent);

    void showProcessing() override { show(); }
    void hideProcessing() override { hide(); }
    bool processingVisible() const override { return isVisible(); }

signals:
    void cancelled(); // Button1Click

private:
    void Button1Click();
};
