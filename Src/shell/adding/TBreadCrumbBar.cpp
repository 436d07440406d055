#include "shell/adding/TBreadCrumbBar.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

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
  // "/a/b" -> "/", "/a", "/a/b"
  QStringList parts = FPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  QString folder = QStringLiteral("/");
  auto addButton = [this](const QString &ACaption, const QString &AFolder) {
    auto *button = new QToolButton(this);
    button->setText(ACaption);
    button->setAutoRaise(true);
    connect(button, &QToolButton::clicked, this, [this, AFolder] { emit FolderClicked(AFolder); });
    FLayout->addWidget(button);
  };
  addButton(QStringLiteral("/"), folder);
  for (int i = 0; i < parts.size(); ++i) {
    if (i > 0)
      FLayout->addWidget(new QLabel(QStringLiteral("\u203A"), this));
    folder = QDir(folder).filePath(parts.at(i));
    addButton(parts.at(i), folder);
  }
  FLayout->addStretch(1);
}
