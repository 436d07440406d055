// The dark look's style file: a small INI text with [Style] Name= and [Colors] holding eleven
// "#rrggbb" colours. Valid only when the name and every colour parse.
#pragma once

#include <QColor>
#include <QPalette>
#include <QString>
#include <optional>

struct TStyleFile {
  QString Name;
  QColor Window, WindowText, Base, Text, Button, ButtonText, Highlight, HighlightedText;
  // Colours of the toolbar buttons in this look (face when hot, frame, pressed face).
  QColor ButtonHot, ButtonFocused, ButtonPressed;

  // Parses the file's text; nullopt when a section, the name or any colour is missing or bad.
  static std::optional<TStyleFile> Parse(const QString &text);
  // Reads and parses a file; nullopt when it is not a regular file, cannot be read or is
  // invalid.
  static std::optional<TStyleFile> Load(const QString &path);

  // The palette this style gives the widgets (used with the Fusion style).
  QPalette Palette() const;
};
