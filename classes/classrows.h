#pragma once

#include <QString>

#include <array>

class QBoxLayout;
class QLineEdit;
class QObject;

// The 200 rows of the class page: number, name field and the six buttons,
// each carrying its class number in its tool tip. The buttons and fields are
// wired to the window's row slots; the name fields are returned by class.
std::array<QLineEdit*, 200> buildClassRowWidgets(QBoxLayout* layout, QObject* window);

// The name field's colours for class i.
QString classRowStyle(int i);
// Sets the colours of rows from..to again.
void restyleClassRows(const std::array<QLineEdit*, 200>& edits, int from, int to);
// Sets names and colours of rows from..to again.
void refreshClassRows(const std::array<QLineEdit*, 200>& edits, int from, int to);
