#include "shell/dialogs/Tfrm_About.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPixmap>

const char *const Tfrm_About::HomePage = "https://sablewick.example/quillet/";
const char *const Tfrm_About::Version = "6.1";

namespace {

// The program's mark: a rounded blue square with a white "Q"; twice as large on screens above
// 120 dots per inch.
QPixmap Logo(int Side) {
  QPixmap Pixmap(Side, Side);
  Pixmap.fill(Qt::transparent);
  QPainter Painter(&Pixmap);
  Painter.setRenderHint(QPainter::Antialiasing);
  Painter.setBrush(QColor(0x3A, 0x7B, 0xD5));
  Painter.setPen(Qt::NoPen);
  Painter.drawRoundedRect(QRectF(0, 0, Side, Side), Side / 6.0, Side / 6.0);
  QFont Font = Painter.font();
  Font.setBold(true);
  Font.setPixelSize(Side * 2 / 3);
  Painter.setFont(Font);
  Painter.setPen(Qt::white);
  Painter.drawText(QRect(0, 0, Side, Side), Qt::AlignCenter, QStringLiteral("Q"));
  return Pixmap;
}

} // namespace

QDate Tfrm_About::BuildDate() {
  return QDate(2025, 11, 4);
}

Tfrm_About::Tfrm_About(QWidget *Owner)
    : QDialog(Owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), img_Logo(new QLabel(this)),
      lbl_Product(new QLabel(QStringLiteral("Quillet"), this)),
      lbl_Version(new QLabel(QStringLiteral("Version ") + QString::fromLatin1(Version), this)),
      lbl_Compiled(new QLabel(this)), lbl_Link(new QLabel(this)) {
  setWindowTitle(QStringLiteral("About"));
  setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));

  img_Logo->setPixmap(Logo(logicalDpiX() > 120 ? 128 : 64));
  QFont Big = font();
  Big.setBold(true);
  Big.setPointSizeF(Big.pointSizeF() * 1.8);
  lbl_Product->setFont(Big);
  lbl_Compiled->setText(QStringLiteral("Compiled on ") +
                        QLocale().toString(BuildDate(), QLocale::ShortFormat));
  const QString Url = QString::fromLatin1(HomePage);
  lbl_Link->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(Url));
  lbl_Link->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
  lbl_Link->setOpenExternalLinks(true);
  lbl_Link->setCursor(Qt::PointingHandCursor);

  auto *Layout = new QGridLayout(this);
  Layout->addWidget(img_Logo, 0, 0, 4, 1, Qt::AlignTop);
  Layout->addWidget(lbl_Product, 0, 1);
  Layout->addWidget(lbl_Version, 1, 1);
  Layout->addWidget(lbl_Compiled, 2, 1);
  Layout->addWidget(lbl_Link, 3, 1, Qt::AlignLeft);
  Layout->setHorizontalSpacing(16);
  Layout->setContentsMargins(20, 20, 24, 20);
  Layout->setSizeConstraint(QLayout::SetFixedSize);
}

void Tfrm_About::Execute(QWidget *Owner) {
  Tfrm_About Dialog(Owner);
  Dialog.exec();
}

void Tfrm_About::keyPressEvent(QKeyEvent *Event) {
  Event->accept();
  accept();
}

void Tfrm_About::mousePressEvent(QMouseEvent *Event) {
  QDialog::mousePressEvent(Event);
  accept();
}
