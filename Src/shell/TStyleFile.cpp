#include "shell/TStyleFile.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>

namespace {
using TIniSections = QHash<QString, QHash<QString, QString>>;

// Section and key names compare case-insensitively, as INI readers do.
TIniSections ParseIni(const QString &text) {
  TIniSections sections;
  QString current;
  for (QString line : text.split(QLatin1Char('\n'))) {
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
      continue;
    if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
      current = line.mid(1, line.size() - 2).trimmed().toLower();
      sections[current];
      continue;
    }
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq <= 0 || current.isEmpty())
      continue;
    sections[current][line.left(eq).trimmed().toLower()] = line.mid(eq + 1).trimmed();
  }
  return sections;
}

bool ParseColor(const QHash<QString, QString> &colors, const char *key, QColor &out) {
  static const QRegularExpression pattern(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
  const QString value = colors.value(QString::fromLatin1(key).toLower());
  if (!pattern.match(value).hasMatch())
    return false;
  out = QColor(value);
  return true;
}
} // namespace

std::optional<TStyleFile> TStyleFile::Parse(const QString &text) {
  const TIniSections ini = ParseIni(text);
  if (!ini.contains(QStringLiteral("style")) || !ini.contains(QStringLiteral("colors")))
    return std::nullopt;
  TStyleFile style;
  style.Name = ini[QStringLiteral("style")].value(QStringLiteral("name"));
  if (style.Name.isEmpty())
    return std::nullopt;
  const auto &c = ini[QStringLiteral("colors")];
  const bool ok =
      ParseColor(c, "Window", style.Window) && ParseColor(c, "WindowText", style.WindowText) &&
      ParseColor(c, "Base", style.Base) && ParseColor(c, "Text", style.Text) &&
      ParseColor(c, "Button", style.Button) && ParseColor(c, "ButtonText", style.ButtonText) &&
      ParseColor(c, "Highlight", style.Highlight) &&
      ParseColor(c, "HighlightedText", style.HighlightedText) &&
      ParseColor(c, "ButtonHot", style.ButtonHot) &&
      ParseColor(c, "ButtonFocused", style.ButtonFocused) &&
      ParseColor(c, "ButtonPressed", style.ButtonPressed);
  if (!ok)
    return std::nullopt;
  return style;
}

std::optional<TStyleFile> TStyleFile::Load(const QString &path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
    return std::nullopt;
  return Parse(QString::fromUtf8(file.readAll()));
}

QPalette TStyleFile::Palette() const {
  QPalette p;
  p.setColor(QPalette::Window, Window);
  p.setColor(QPalette::WindowText, WindowText);
  p.setColor(QPalette::Base, Base);
  p.setColor(QPalette::AlternateBase, Window);
  p.setColor(QPalette::Text, Text);
  p.setColor(QPalette::Button, Button);
  p.setColor(QPalette::ButtonText, ButtonText);
  p.setColor(QPalette::Highlight, Highlight);
  p.setColor(QPalette::HighlightedText, HighlightedText);
  p.setColor(QPalette::ToolTipBase, Base);
  p.setColor(QPalette::ToolTipText, Text);
  p.setColor(QPalette::PlaceholderText, WindowText.darker(150));
  p.setColor(QPalette::Light, Button.lighter(150));
  p.setColor(QPalette::Midlight, Button.lighter(125));
  p.setColor(QPalette::Mid, Button.darker(120));
  p.setColor(QPalette::Dark, Button.darker(150));
  p.setColor(QPalette::Shadow, Qt::black);
  p.setColor(QPalette::Link, Highlight.lighter(130));
  const QColor disabledText = WindowText.darker(170);
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, disabledText);
  return p;
}
