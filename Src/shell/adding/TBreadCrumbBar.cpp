#include "shell/adding/TBreadCrumbBar.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace {
// A folder name longer than this is elided in its button (the tooltip has it whole).
constexpr int MaxCrumbWidth = 240;
} // namespace

TBreadCrumbBar::TBreadCrumbBar(QWidget *AParent) : QWidget(AParent) {
  FLayout = new QHBoxLayout(this);
  FLayout->setContentsMargins(0, 0, 0, 0);
  FLayout->setSpacing(0);
}

void TBreadCrumbBar::SetPath(const QString &APath) {
  FPath = QDir::cleanPath(APath);
  while (QLayoutItem *item = FLayout->takeAt(0)) {
    delete item->widget();
    delete item;
  }
  FCrumbs.clear();
  // "/a/b" -> "/", "/a", "/a/b"
  QStringList parts = FPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  QString folder = QStringLiteral("/");
  auto addButton = [this](const QString &ACaption, const QString &AFolder) {
    auto *button = new QToolButton(this);
    button->setText(fontMetrics().elidedText(ACaption, Qt::ElideMiddle, MaxCrumbWidth));
    if (button->text() != ACaption)
      button->setToolTip(ACaption);
    button->setAutoRaise(true);
    connect(button, &QToolButton::clicked, this, [this, AFolder] { emit FolderClicked(AFolder); });
    FLayout->addWidget(button);
    FCrumbs << button;
  };
  addButton(QStringLiteral("/"), folder);
  for (int i = 0; i < parts.size(); ++i) {
    auto *separator = new QLabel(QStringLiteral("\u203A"), this);
    FLayout->addWidget(separator);
    FCrumbs << separator;
    folder = QDir(folder).filePath(parts.at(i));
    addButton(parts.at(i), folder);
  }
  FLayout->addStretch(1);
  FitCrumbs();
  updateGeometry();
}

QSize TBreadCrumbBar::minimumSizeHint() const {
  QSize hint = sizeHint();
  if (!FCrumbs.isEmpty())
    hint.setWidth(FCrumbs.constLast()->sizeHint().width());
  return hint;
}

void TBreadCrumbBar::resizeEvent(QResizeEvent *AEvent) {
  QWidget::resizeEvent(AEvent);
  FitCrumbs();
}

void TBreadCrumbBar::FitCrumbs() {
  int needed = 0;
  for (QWidget *crumb : FCrumbs)
    needed += crumb->sizeHint().width();
  // Drop a folder together with the separator after it, from the root on.
  for (int i = 0; i < FCrumbs.size(); ++i) {
    const bool hide = needed > width() && i + 1 < FCrumbs.size();
    FCrumbs[i]->setVisible(!hide);
    if (hide)
      needed -= FCrumbs[i]->sizeHint().width();
  }
}
