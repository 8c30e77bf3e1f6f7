#pragma once
// The about box of the system menu's command 16: the program's name and
// version and an OK button. Needs a QApplication.

class QWidget;

// Runs the box modally and returns when the user closes it.
void ShowAboutBox(QWidget* parent = nullptr);
