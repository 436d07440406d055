#include "shell/UpdateCheck.h"

#include "shell/dialogs/Tfrm_About.h"

#include <optional>
#include <utility>

namespace {

constexpr qsizetype MaxVersionLength = 5;

std::optional<int> DecimalNumber(QStringView AText) {
  if (AText.isEmpty())
    return std::nullopt;
  for (QChar c : AText)
    if (c < QLatin1Char('0') || c > QLatin1Char('9'))
      return std::nullopt;
  return AText.toInt();
}

// Major and minor of "major.minor", split at the first dot.
std::optional<std::pair<int, int>> VersionParts(const QString &AText) {
  const qsizetype dot = AText.indexOf(QLatin1Char('.'));
  if (dot < 0)
    return std::nullopt;
  const std::optional<int> major = DecimalNumber(QStringView(AText).left(dot));
  const std::optional<int> minor = DecimalNumber(QStringView(AText).mid(dot + 1));
  if (!major || !minor)
    return std::nullopt;
  return std::pair(*major, *minor);
}

} // namespace

QString VersionFileURL() {
  const QString custom = qEnvironmentVariable("QUILLET_UPDATE_URL");
  if (!custom.isEmpty())
    return custom;
  return QString::fromLatin1(Tfrm_About::HomePage) + QStringLiteral("upd_converter.ini");
}

QString DownloadPageURL() {
  return QString::fromLatin1(Tfrm_About::HomePage) + QStringLiteral("download/");
}

bool OffersNewerVersion(const QString &AOwnVersion, const QString &AData) {
  if (AData.isEmpty() || AData.size() > MaxVersionLength)
    return false;
  const auto own = VersionParts(AOwnVersion);
  const auto remote = VersionParts(AData);
  return own && remote && *own < *remote;
}

QString UpdateQuestion(const QString &AVersion) {
  return QStringLiteral("A new version is available: ") + AVersion +
         QStringLiteral("\n\nDo you want to visit the download page now?");
}
