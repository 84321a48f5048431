#pragma once

class QWidget;

// Keeps a top-level window inside the room its screen has: smaller where the screen is, and
// moved in from an edge it would cross (a geometry kept for a large screen puts it partly out
// of sight on a small one).
namespace screenfit {

void keepOnScreen(QWidget* window);

} // namespace screenfit
