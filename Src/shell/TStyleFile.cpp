#include "shell/TStyleFile.h"

#include "shell/settings/RegularFile.h"
#include "shell/settings/TIniFile.h"

#include <QFile>
#include <QRegularExpression>

namespace {
// The file is read like the settings file (names match case-insensitively, a byte-order mark
// is skipped); a colour is "#rrggbb", spaces around it allowed.
bool ParseColor(const TIniFile &ini, const char *key, QColor &out) {
  static const QRegularExpression pattern(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
  const QString value =
      QString::fromStdString(ini.ReadString("Colors", key, std::string())).trimmed();
  if (!pattern.match(value).hasMatch())
    return false;
  out = QColor(value);
  return true;
}
} // namespace

std::optional<TStyleFile> TStyleFile::Parse(const QString &text) {
  const TIniFile ini = TIniFile::Parse(text.toStdString());
  TStyleFile style;
  style.Name = QString::fromStdString(ini.ReadString("Style", "Name", std::string())).trimmed();
  if (style.Name.isEmpty())
    return std::nullopt;
  const bool ok =
      ParseColor(ini, "Window", style.Window) && ParseColor(ini, "WindowText", style.WindowText) &&
      ParseColor(ini, "Base", style.Base) && ParseColor(ini, "Text", style.Text) &&
      ParseColor(ini, "Button", style.Button) && ParseColor(ini, "ButtonText", style.ButtonText) &&
      ParseColor(ini, "Highlight", style.Highlight) &&
      ParseColor(ini, "HighlightedText", style.HighlightedText) &&
      ParseColor(ini, "ButtonHot", style.ButtonHot) &&
      ParseColor(ini, "ButtonFocused", style.ButtonFocused) &&
      ParseColor(ini, "ButtonPressed", style.ButtonPressed);
  if (!ok)
    return std::nullopt;
  return style;
}

std::optional<TStyleFile> TStyleFile::Load(const QString &path) {
  // A style file is a few hundred bytes; a FIFO or device in its place is not read at all.
  constexpr size_t maxSize = 64 * 1024;
  const TFileText file = ReadRegularFile(QFile::encodeName(path).toStdString(), maxSize);
  if (file.State != TFileText::fsRead)
    return std::nullopt;
  return Parse(QString::fromStdString(file.Text));
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
