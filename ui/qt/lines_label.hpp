// A label of several lines that keeps the line pitch of a classic 12-pixel
// dialog font, so a label sized for that font holds all of its lines even
// where the display font (a CJK font with generous line spacing) is taller.
#pragma once

class QLabel;
class QWidget;

namespace kv::ui::qt {

QLabel* CreateLinesLabel(QWidget* parent);

}  // namespace kv::ui::qt
