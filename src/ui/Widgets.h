#pragma once

#include <QString>
#include <string>

class QLabel;
class QTreeWidget;
class QWidget;

namespace velluma {

/// A file name as the file system holds it (bytes), shown as text; and back.
QString decodedFileName(const std::string& bytes);
std::string encodedFileName(const QString& name);

/// A page title (":: text::") on the program's gradient.
QLabel* makeArticleLabel(QWidget* parent, const char* name);
/// A thin caption bar above a list or under the tool bar.
QLabel* makeBarLabel(QWidget* parent, const char* name);
/// A list view in report style: columns, whole-row selection, no tree decoration.
QTreeWidget* makeReportView(QWidget* parent, const char* name, int columns);
/// A control's hint: its tooltip, and what the status line shows while the mouse is over it.
void setHint(QWidget* control, const QString& hint);
/// Menus would take "&" as an access-key marker; captions stay as written.
QString literalMenuText(const QString& text);
/// Names a control (unless name is null) and puts it at its design position, raised by top
/// pixels: the design counts from above a title strip that the layout already placed.
void placeControl(QWidget* control, const char* name, int x, int y, int width, int height,
                  int top = 0);

}  // namespace velluma
