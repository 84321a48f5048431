#pragma once

// The processing dialog as the link and the families see it: its visibility is what
// decides whether a sequence sends its next request.
class ProcessingView {
public:
    virtual ~ProcessingView() = default;
    virtual void showProcessing() = 0;
    virtual void hideProcessing() = 0;
    virtual bool processingVisible() const = 0;
    virtual void setProgress(int /*done*/, int /*total*/) {}
};
