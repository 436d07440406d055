// The output names of one batch. No output replaces another output of the same batch or the
// source it is made from: such an output gets a free numbered name ("clip (2).avi", or
// "clip (1).mp4" beside its own source). Only a file that was there before the batch is left to
// the user's overwrite question.
#pragma once

#include <QSet>
#include <QString>
#include <functional>

class TBatchOutputs {
public:
  // AExists tells whether a file is on disk (paths kept in their exact bytes).
  explicit TBatchOutputs(std::function<bool(const QString &)> AExists);

  struct TChoice {
    QString Path;
    bool Existing = false; // a file from before the batch has this name: ask before replacing
  };
  // The output for ASource: AFolder (ending with "/") + ABase + AExtension unless taken.
  TChoice Choose(const QString &ASource, const QString &AFolder, const QString &ABase,
                 const QString &AExtension) const;
  // APath is now an output of this batch.
  void Claim(const QString &APath);

private:
  bool Taken(const QString &APath, const QString &ASource) const;

  std::function<bool(const QString &)> FExists;
  QSet<QString> FClaimed;
};
