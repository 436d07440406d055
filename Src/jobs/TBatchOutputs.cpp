#include "jobs/TBatchOutputs.h"

#include <QDir>

namespace {

bool SamePath(const QString &A, const QString &B) {
  return QDir::cleanPath(A) == QDir::cleanPath(B);
}

} // namespace

TBatchOutputs::TBatchOutputs(std::function<bool(const QString &)> AExists)
    : FExists(std::move(AExists)) {}

TBatchOutputs::TChoice TBatchOutputs::Choose(const QString &ASource, const QString &AFolder,
                                             const QString &ABase,
                                             const QString &AExtension) const {
  const QString plain = AFolder + ABase + AExtension;
  const bool ownSource = SamePath(plain, ASource);
  if (!ownSource && !FClaimed.contains(QDir::cleanPath(plain)))
    return {plain, FExists(plain)};
  // Beside its own source the first number is 1; the second output of a name is "(2)".
  for (int number = ownSource ? 1 : 2;; ++number) {
    const QString numbered = AFolder + ABase + QStringLiteral(" (%1)").arg(number) + AExtension;
    if (!Taken(numbered, ASource))
      return {numbered, false};
  }
}

bool TBatchOutputs::Taken(const QString &APath, const QString &ASource) const {
  return SamePath(APath, ASource) || FClaimed.contains(QDir::cleanPath(APath)) || FExists(APath);
}

void TBatchOutputs::Claim(const QString &APath) {
  FClaimed.insert(QDir::cleanPath(APath));
}
