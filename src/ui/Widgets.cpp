#include "ui/Widgets.h"

#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>

namespace velluma {

QString decodedFileName(const std::string& bytes) {
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string encodedFileName(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

QLabel* makeArticleLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setStyleSheet(QStringLiteral(
        "QLabel { color: white; font-weight: bold; padding: 3px 6px;"
        " background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #167aa4, stop:1 #105978); }"));
    return label;
}

QLabel* makeBarLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setStyleSheet(QStringLiteral(
        "QLabel { color: #1c3f50; background: #dfe9ee; border-bottom: 1px solid #b9ccd6;"
        " padding: 1px 0px; }"));
    return label;
}

QTreeWidget* makeReportView(QWidget* parent, const char* name, int columns) {
    auto* view = new QTreeWidget(parent);
    view->setObjectName(QString::fromLatin1(name));
    view->setColumnCount(columns);
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->setAlternatingRowColors(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->header()->setStretchLastSection(false);
    return view;
}

void setHint(QWidget* control, const QString& hint) {
    control->setProperty("hint", hint);
    control->setToolTip(hint);
}

QString literalMenuText(const QString& text) {
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

void placeControl(QWidget* control, const char* name, int x, int y, int width, int height,
                  int top) {
    if (name) control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(x, y - top, width, height);
}

}  // namespace velluma
